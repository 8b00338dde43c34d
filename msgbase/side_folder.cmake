# --- Side folder reader: another folder's index and thread file -------------
# Win32 only: it opens the folder's files through the file layer.
pelmora_part(
  WIN32 msgbase_side_folder WIN32_SOURCES side_folder_win32.cpp
  WIN32_LIBS msgbase_conf msgbase_topic_index msgbase_portable
  WIN32_TESTS tests/side_folder_test.cpp WIN32_TEST_LIBS msgbase_topic_open)
# --- end of the side folder reader ------------------------------------------
