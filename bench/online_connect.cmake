# Connections: the engine script and the success log over 10,000 actions,
# against one plain pass that reads and writes the same bytes.
add_executable(online_connect_bench ${CMAKE_CURRENT_SOURCE_DIR}/online_connect_bench.cpp)
target_link_libraries(online_connect_bench PRIVATE online_engine_script)
if(WIN32)
  target_link_options(online_connect_bench PRIVATE -mconsole)
endif()
