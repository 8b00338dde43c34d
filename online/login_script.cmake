# The sign-in dialog of log-in; it goes into the program with the shell.
if(NOT PELMORA_NATIVE)
  add_library(online_login_script STATIC ${CMAKE_CURRENT_SOURCE_DIR}/login_script_win32.cpp)
  target_include_directories(online_login_script PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(online_login_script PUBLIC core settings msgbase_conf)
  pelmora_program_library(online_login_script)
endif()
