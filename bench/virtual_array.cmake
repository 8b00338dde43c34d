# The virtual array against the standard library; built for Windows and run by
# hand under Wine.
if(NOT PELMORA_NATIVE)
  add_executable(virtual_array_bench virtual_array_bench.cpp)
  target_link_libraries(virtual_array_bench PRIVATE virtual_array)
  target_link_options(virtual_array_bench PRIVATE -mconsole)
endif()
