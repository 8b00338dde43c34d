# The QVX layer against the raw B-protocol transport, over one socket to the
# stand-in host (native: the host runs on a thread of the benchmark).
if(PELMORA_NATIVE)
  add_executable(qvx_bench qvx_bench.cpp)
  target_link_libraries(qvx_bench PRIVATE commkit_qvx qvxhost_core Threads::Threads)
endif()
