# --- Index carry-over and the log-in's read state ------------------------------------------
# The carry-over of marks is portable; the file operations around it are Win32.
add_library(msgbase_index_carryover STATIC index_carryover.cpp)
target_link_libraries(msgbase_index_carryover PUBLIC msgbase_topic_index)

pelmora_test(msgbase_index_carryover_tests
  SOURCES tests/index_carryover_test.cpp
  LIBS msgbase_index_carryover)
pelmora_fuzz(fuzz_index_carryover SOURCES tests/fuzz_index_carryover.cpp LIBS msgbase_index_carryover
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/index_carryover RUNS 20000)

if(NOT PELMORA_NATIVE)
  add_library(msgbase_uinfo STATIC index_carryover_win32.cpp)
  target_link_libraries(msgbase_uinfo PUBLIC msgbase_index_carryover msgbase_read_state msgbase_conf)

  pelmora_test(msgbase_uinfo_tests
    SOURCES tests/index_carryover_win32_test.cpp
    LIBS msgbase_uinfo)
endif()
# --- end of index carry-over -------------------------------------------------
