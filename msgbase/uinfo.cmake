# --- Index carry-over and the log-in's read state ------------------------------------------
# The carry-over of marks is portable; the file operations around it are Win32.
pelmora_part(
  PORTABLE msgbase_index_carryover SOURCES index_carryover.cpp LIBS msgbase_topic_index
  TESTS tests/index_carryover_test.cpp
  FUZZ fuzz_index_carryover:20000
  WIN32 msgbase_uinfo WIN32_SOURCES index_carryover_win32.cpp WIN32_LIBS msgbase_read_state msgbase_conf
  WIN32_TESTS tests/index_carryover_win32_test.cpp)
# --- end of index carry-over -------------------------------------------------
