# --- Script commands: the builder over the current folder and message (Win32),
# and its portable rules -------------------------------------------------------
if(NOT PELMORA_NATIVE)
  add_library(online_script_cmd STATIC script_cmd_win32.cpp)
  target_include_directories(online_script_cmd PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(online_script_cmd PUBLIC online_script_template msgbase_message_ops msgbase_topic_open settings core)
  pelmora_program_library(online_script_cmd)
  pelmora_program_library(online_script_template)
endif()

# The builder's rules: commands, arguments, the mail mapping and the escapes.
add_library(online_script_template STATIC ${CMAKE_CURRENT_SOURCE_DIR}/script_template.cpp)
target_include_directories(online_script_template PUBLIC ${PROJECT_SOURCE_DIR})
pelmora_test(online_script_template_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/script_template_test.cpp
             LIBS online_script_template)
pelmora_fuzz(fuzz_script_template SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz_script_template.cpp
             LIBS online_script_template
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/script_template RUNS 20000)

if(NOT PELMORA_NATIVE)
  pelmora_test(online_script_cmd_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/script_cmd_test.cpp LIBS program_libs)
endif()
