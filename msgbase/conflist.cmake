# --- Conference list, user folder files, service configuration files ---------------------------------
# The record layouts, the folder order, the file forms and the merge are
# portable; the file layer around them is Win32.
pelmora_part(
  PORTABLE msgbase_conf_portable
  SOURCES conf_list.cpp user_folders.cpp service_config.cpp thread_ids.cpp user_info.cpp
  LIBS core_util_portable core_arrays virtual_array
  TESTS tests/conf_list_test.cpp tests/user_folders_test.cpp tests/service_config_test.cpp tests/thread_ids_test.cpp
        tests/user_info_test.cpp
  FUZZ fuzz_service_config fuzz_conf_files
  WIN32 msgbase_conf
  WIN32_SOURCES conf_files_win32.cpp conf_list_win32.cpp user_folders_win32.cpp service_config_win32.cpp thread_ids_win32.cpp
                user_info_win32.cpp
  WIN32_LIBS core_util settings core
  WIN32_TESTS tests/conf_list_win32_test.cpp tests/user_folders_win32_test.cpp tests/service_config_win32_test.cpp
              tests/thread_ids_win32_test.cpp tests/user_info_win32_test.cpp)

if(NOT PELMORA_NATIVE)
  # The other instance of the conference-list locking test.
  add_executable(confwriter tests/confwriter.cpp)
  target_link_libraries(confwriter PRIVATE msgbase_conf)
  target_link_options(confwriter PRIVATE -mconsole)
  add_dependencies(msgbase_conf_tests confwriter)
endif()
# --- end of conference list and user folder files ---------------------------
