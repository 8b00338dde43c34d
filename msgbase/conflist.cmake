# --- Conference list, user folder files, service configuration files ---------------------------------
# The record layouts, the folder order, the file forms and the merge are
# portable; the file layer around them is Win32.
add_library(msgbase_conf_portable STATIC conf_list.cpp user_folders.cpp service_config.cpp thread_ids.cpp user_info.cpp)
target_include_directories(msgbase_conf_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(msgbase_conf_portable PUBLIC core_util_portable core_arrays virtual_array)

pelmora_test(msgbase_conf_portable_tests
  SOURCES tests/conf_list_test.cpp tests/user_folders_test.cpp tests/service_config_test.cpp tests/thread_ids_test.cpp
          tests/user_info_test.cpp
  LIBS msgbase_conf_portable)
pelmora_fuzz(fuzz_service_config SOURCES tests/fuzz_service_config.cpp LIBS msgbase_conf_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/service_config)
pelmora_fuzz(fuzz_conf_files SOURCES tests/fuzz_conf_files.cpp LIBS msgbase_conf_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/conf_files)

if(NOT PELMORA_NATIVE)
  add_library(msgbase_conf STATIC conf_files.cpp conf_list_win32.cpp user_folders_win32.cpp service_config_win32.cpp thread_ids_win32.cpp
    user_info_win32.cpp)
  target_link_libraries(msgbase_conf PUBLIC msgbase_conf_portable core_util settings core)

  pelmora_test(msgbase_conf_tests
    SOURCES tests/conf_list_win32_test.cpp tests/user_folders_win32_test.cpp tests/service_config_win32_test.cpp tests/thread_ids_win32_test.cpp
          tests/user_info_win32_test.cpp
    LIBS msgbase_conf)
  # The other instance of the conference-list locking test.
  add_executable(confwriter tests/confwriter.cpp)
  target_link_libraries(confwriter PRIVATE msgbase_conf)
  target_link_options(confwriter PRIVATE -mconsole)
  add_dependencies(msgbase_conf_tests confwriter)
endif()
# --- end of conference list and user folder files ---------------------------
