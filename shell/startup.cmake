# Start-up, log-in, the main loop, window classes and the MDI client, the
# splash and About box, child processes.
if(NOT PELMORA_NATIVE)
  target_sources(shell PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/startup_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/login_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/message_loop_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/window_classes_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/mdi_client_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/splash_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/child_process_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/shell_hooks.cpp)
  target_link_libraries(shell PUBLIC shell_portable core core_util settings msgbase_conf msgbase_import
                        msgbase_topic_open online_login_script wrx wrx_html)
endif()

# Window tests under Wine: the shell's windows in process, and pl32.exe run as
# a user runs it.
if(NOT PELMORA_NATIVE)
  pelmora_test(shell_windows_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/shell_windows_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/shell_windows_test.rc
    LIBS program_libs)
  target_include_directories(shell_windows_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)
  target_compile_definitions(shell_windows_tests PRIVATE
    SHOT_DIR="${CMAKE_BINARY_DIR}" CHILDPROC_EXE="$<TARGET_FILE:childproc>" SCHEDULER_EXE="$<TARGET_FILE:plschd32>")
  add_dependencies(shell_windows_tests childproc plschd32)

  pelmora_test(shell_program_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/shell_program_test.cpp
               LIBS msgbase_conf core_util)
  target_compile_definitions(shell_program_tests PRIVATE PL32_EXE="$<TARGET_FILE:pl32>")
  add_dependencies(shell_program_tests pl32)
endif()

# The resource compiler's includes are not tracked: the program's resources
# are rebuilt when the shell's resource file or its pictures change.
if(NOT PELMORA_NATIVE)
  file(GLOB shell_art CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/shell_art/*)
  set(shell_resources ${PROJECT_SOURCE_DIR}/resources/shell.rc ${PROJECT_SOURCE_DIR}/resources/shell_ids.h ${shell_art})
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/pl32.rc DIRECTORY ${PROJECT_SOURCE_DIR}
               APPEND PROPERTY OBJECT_DEPENDS ${shell_resources})
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tests/shell_windows_test.rc
               APPEND PROPERTY OBJECT_DEPENDS ${shell_resources})
endif()
