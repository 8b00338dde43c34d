# --- Message operations -------------------------------------------------------
# Addresses, newsgroup names, header fields, batch forms and action files are
# text and stdio work; erasing a message needs the open topic and the queue.
pelmora_part(
  PORTABLE msgbase_message_text SOURCES message_text.cpp LIBS core_portable
  TESTS tests/message_text_test.cpp
  FUZZ fuzz_message_text:5000
  WIN32 msgbase_message_ops WIN32_SOURCES message_ops_win32.cpp WIN32_LIBS msgbase_topic_open msgbase_import
  WIN32_TESTS tests/message_ops_test.cpp)
# --- end of message operations ------------------------------------------------
