# --- Side folder reader: another folder's index and thread file -------------
# Win32 only: it opens the folder's files through the file layer.
if(NOT PELMORA_NATIVE)
  add_library(msgbase_side_folder STATIC side_folder.cpp)
  target_link_libraries(msgbase_side_folder PUBLIC msgbase_conf msgbase_topic_index msgbase_portable)

  pelmora_test(msgbase_side_folder_tests
    SOURCES tests/side_folder_test.cpp
    LIBS msgbase_side_folder msgbase_topic_open)
endif()
# --- end of the side folder reader ------------------------------------------
