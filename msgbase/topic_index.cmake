# The open topic's index and thread files, and the read state kept in them.
# Portable: builds in both presets.
add_library(msgbase_topic_index STATIC topic_index.cpp)
target_link_libraries(msgbase_topic_index PUBLIC msgbase_portable)

pelmora_test(msgbase_topic_index_tests
  SOURCES tests/topic_index_test.cpp
  LIBS msgbase_topic_index)
pelmora_fuzz(fuzz_topic_index SOURCES tests/fuzz_topic_index.cpp LIBS msgbase_topic_index
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/topic_index RUNS 20000)

add_library(msgbase_read_state STATIC read_state.cpp)
target_link_libraries(msgbase_read_state PUBLIC msgbase_portable msgbase_conf_portable)
pelmora_test(msgbase_read_state_tests SOURCES tests/read_state_test.cpp LIBS msgbase_read_state)
pelmora_fuzz(fuzz_folder_order SOURCES tests/fuzz_folder_order.cpp LIBS msgbase_read_state
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/folder_order RUNS 5000)
