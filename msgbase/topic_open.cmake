# --- The open topic: logopen/logclose, the reindex path of scanmsg, lookups ---
# Win32 only: it drives the log handle, the index files and the frame's hooks.
pelmora_part(
  WIN32 msgbase_topic_open WIN32_SOURCES topic_open_win32.cpp
  WIN32_LIBS msgbase_import msgbase_conf msgbase_topic_index msgbase_read_state msgbase_portable
  WIN32_TESTS tests/topic_open_test.cpp)
# --- end of the open topic ---------------------------------------------------
