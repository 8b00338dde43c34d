# --- Script commands for a folder's service: the least form, over the
# outbasket's script-command builder hook -------------------------------------
if(NOT PELMORA_NATIVE)
  add_library(online_script_cmd STATIC script_cmd.cpp)
  target_include_directories(online_script_cmd PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(online_script_cmd PUBLIC msgbase_message_ops settings core)
  pelmora_program_library(online_script_cmd)
endif()

# The builder's rules: commands, arguments, the mail mapping and the escapes.
add_library(online_script_template STATIC ${CMAKE_CURRENT_SOURCE_DIR}/script_template.cpp)
target_include_directories(online_script_template PUBLIC ${PROJECT_SOURCE_DIR})
pelmora_test(online_script_template_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/script_template_test.cpp
             LIBS online_script_template)
pelmora_fuzz(fuzz_script_template SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz_script_template.cpp
             LIBS online_script_template
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/script_template RUNS 20000)
