# The shell: start-up to the logged-in frame against a bare Win32 program, and
# one poll tick of the frame's timer against one attribute query of each file
# it polls.
if(NOT PELMORA_NATIVE)
  add_executable(shell_start_bench shell_start_bench.cpp)
  target_link_options(shell_start_bench PRIVATE -mconsole)
  add_executable(shell_bare_window WIN32 shell_bare_window.cpp)
  add_executable(shell_poll_bench shell_poll_bench.cpp)
  target_link_libraries(shell_poll_bench PRIVATE program_libs)
  target_link_options(shell_poll_bench PRIVATE -mconsole)
endif()
