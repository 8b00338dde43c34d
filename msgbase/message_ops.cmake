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
