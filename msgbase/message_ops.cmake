# --- Message operations -------------------------------------------------------
# Addresses, newsgroup names, header fields, batch forms and action files are
# text and stdio work; erasing a message needs the open topic and the queue.
add_library(msgbase_message_text STATIC message_text.cpp)
target_include_directories(msgbase_message_text PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(msgbase_message_text PUBLIC core_portable)

pelmora_test(msgbase_message_text_tests
  SOURCES tests/message_text_test.cpp
  LIBS msgbase_message_text)
pelmora_fuzz(fuzz_message_text SOURCES tests/fuzz_message_text.cpp LIBS msgbase_message_text
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/message_text RUNS 5000)
# --- end of message operations ------------------------------------------------

if(NOT PELMORA_NATIVE)
  add_library(msgbase_message_ops STATIC message_ops.cpp)
  target_link_libraries(msgbase_message_ops PUBLIC msgbase_message_text msgbase_topic_open msgbase_import)

  pelmora_test(msgbase_message_ops_tests
    SOURCES tests/message_ops_test.cpp
    LIBS msgbase_message_ops)
endif()
