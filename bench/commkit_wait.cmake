# The toolbox's waits over the winsock line: the CPU an idle ConnWaitFor uses
# against an idle process, and the latency from data arriving to the wait
# returning. Windows only (run under Wine).
if(NOT PELMORA_NATIVE AND TARGET commkit_core)
  add_executable(commkit_wait_bench commkit_wait_bench.cpp ${PROJECT_SOURCE_DIR}/commkit/strings.rc)
  target_link_libraries(commkit_wait_bench PRIVATE commkit_core ws2_32)
  target_link_options(commkit_wait_bench PRIVATE -mconsole)
endif()
