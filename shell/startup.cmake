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
                        msgbase_topic_open online_login_script wrx)
endif()
