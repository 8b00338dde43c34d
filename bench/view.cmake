# Message view: the display walk of a large attachment and a large text
# against walking the same message with readmsgline alone.
add_executable(view_bench view_bench.cpp)
target_link_libraries(view_bench PRIVATE compose_mime)
if(WIN32)
  target_link_options(view_bench PRIVATE -mconsole)
endif()
