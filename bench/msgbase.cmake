# Message base: the log walk against a plain read of the same file.
add_executable(msgbase_scan_bench msgbase_scan_bench.cpp)
target_link_libraries(msgbase_scan_bench PRIVATE msgbase_portable)
if(WIN32)
  target_link_options(msgbase_scan_bench PRIVATE -mconsole)
endif()
