# --- Script commands for a folder's service: the least form, over the
# outbasket's script-command builder hook -------------------------------------
if(NOT PELMORA_NATIVE)
  add_library(online_script_cmd STATIC script_cmd.cpp)
  target_include_directories(online_script_cmd PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(online_script_cmd PUBLIC msgbase_message_ops settings core)
  pelmora_program_library(online_script_cmd)
endif()
