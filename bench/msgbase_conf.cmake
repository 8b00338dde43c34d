# Log-in merge and conference-list write against a plain sort; run under Wine.
if(NOT PELMORA_NATIVE)
  add_executable(msgbase_conf_bench msgbase_conf_bench.cpp)
  target_link_libraries(msgbase_conf_bench PRIVATE msgbase_conf)
  target_link_options(msgbase_conf_bench PRIVATE -mconsole)
endif()
