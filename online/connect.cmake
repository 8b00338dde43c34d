# Connections: the engine script and the success log (portable, fuzzed), and
# the run itself with its files (Win32).
add_library(online_engine_script STATIC ${CMAKE_CURRENT_SOURCE_DIR}/engine_script.cpp
                                        ${CMAKE_CURRENT_SOURCE_DIR}/dial_share.cpp)
target_link_libraries(online_engine_script PUBLIC online_outbasket_portable)
pelmora_test(online_engine_script_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/engine_script_test.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/tests/dial_share_test.cpp LIBS online_engine_script)
pelmora_fuzz(fuzz_engine_script SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz_engine_script.cpp
             LIBS online_engine_script
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/engine_script RUNS 20000)

if(NOT PELMORA_NATIVE)
  add_library(online_connect STATIC ${CMAKE_CURRENT_SOURCE_DIR}/connect_win32.cpp
                                    ${CMAKE_CURRENT_SOURCE_DIR}/engine_files_win32.cpp
                                    ${CMAKE_CURRENT_SOURCE_DIR}/dial_share_win32.cpp)
  target_link_libraries(online_connect PUBLIC online_engine_script online_outbasket online_ghosts msgbase_message_text core msgbase_conf)
  pelmora_program_library(online_connect)
  pelmora_program_library(online_engine_script)
endif()

if(NOT PELMORA_NATIVE)
  add_executable(connect_runner ${CMAKE_CURRENT_SOURCE_DIR}/tests/connect_runner.cpp)
  target_link_libraries(connect_runner PRIVATE program_libs)
  target_link_options(connect_runner PRIVATE -mconsole)
  pelmora_test(online_connect_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/connect_test.cpp LIBS program_libs)
  target_compile_definitions(online_connect_tests PRIVATE TERM32_EXE="$<TARGET_FILE:term32>"
                             IMPORT32_EXE="$<TARGET_FILE:import32>" CONNECT_RUNNER_EXE="$<TARGET_FILE:connect_runner>")
  add_dependencies(online_connect_tests term32 inet32 import32 connect_runner)
  set_tests_properties(online_connect_tests PROPERTIES RUN_SERIAL TRUE)
endif()
