# Thread order and thread list against a plain sort of the same index; run under Wine.
if(NOT PELMORA_NATIVE)
  add_executable(browser_bench browser_bench.cpp)
  target_link_libraries(browser_bench PRIVATE browser_thread_list)
  target_link_options(browser_bench PRIVATE -mconsole)
endif()
