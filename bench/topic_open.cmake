# The open topic: rebuilding an index through logopen against a plain read of
# the log, and logopen of the stored index against one read of the .ind file.
if(NOT PELMORA_NATIVE)
  add_executable(topic_open_bench topic_open_bench.cpp)
  target_link_libraries(topic_open_bench PRIVATE msgbase_topic_open)
  target_link_options(topic_open_bench PRIVATE -mconsole)
endif()
