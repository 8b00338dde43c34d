# --- The open topic: logopen/logclose, the reindex path of scanmsg, lookups ---
# Win32 only: it drives the log handle, the index files and the frame's hooks.
if(NOT PELMORA_NATIVE)
  add_library(msgbase_topic_open STATIC topic_open.cpp)
  target_link_libraries(msgbase_topic_open PUBLIC msgbase_import msgbase_conf msgbase_topic_index msgbase_read_state msgbase_portable)

  pelmora_test(msgbase_topic_open_tests
    SOURCES tests/topic_open_test.cpp
    LIBS msgbase_topic_open)
endif()
# --- end of the open topic ---------------------------------------------------
