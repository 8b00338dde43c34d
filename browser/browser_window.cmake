# --- The browser window: its panes, their layout and the current message ----
add_library(browser_layout STATIC browser_layout.cpp name_text.cpp link_target.cpp acronyms.cpp download_lists.cpp)
target_include_directories(browser_layout PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(browser_layout PUBLIC core_portable)
pelmora_test(browser_layout_tests SOURCES tests/browser_layout_test.cpp tests/name_text_test.cpp tests/link_target_test.cpp
             tests/acronyms_test.cpp tests/download_lists_test.cpp LIBS browser_layout)
pelmora_fuzz(fuzz_link_target SOURCES tests/fuzz_link_target.cpp LIBS browser_layout
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/link_target RUNS 5000)

if(NOT PELMORA_NATIVE)
  pelmora_program_library(browser_layout)
  add_library(browser_window STATIC browser_window_win32.cpp pane_bar_win32.cpp follow_link_win32.cpp clipboard_win32.cpp marks_win32.cpp
              pane_keys_win32.cpp view_keys_win32.cpp folder_lookup_win32.cpp browser_commands_win32.cpp
              next_new_win32.cpp browser_frame_win32.cpp goto_message_win32.cpp
              context_menus_win32.cpp message_ops_win32.cpp rethread_win32.cpp command_dialogs_win32.cpp)
  target_link_libraries(browser_window PUBLIC browser_layout browser_message_actions browser_next_new online_script_cmd browser_thread_list msgbase_message_ops shell)
  pelmora_program_library(browser_window)
  pelmora_test(browser_window_tests SOURCES tests/browser_window_test.cpp tests/message_ops_test.cpp
               ${PROJECT_SOURCE_DIR}/resources/browser_dialogs.rc LIBS program_libs)
  target_compile_definitions(browser_window_tests PRIVATE IMPORT32_EXE="$<TARGET_FILE:import32>")
  add_dependencies(browser_window_tests import32)
  set_tests_properties(browser_window_tests PROPERTIES RUN_SERIAL TRUE)
endif()
# --- end of the browser window -----------------------------------------------
# --- Message operations: the texts they queue (portable) --------------------------
add_library(browser_message_actions STATIC message_actions.cpp)
target_include_directories(browser_message_actions PUBLIC ${PROJECT_SOURCE_DIR})
pelmora_test(browser_message_actions_tests SOURCES tests/message_actions_test.cpp LIBS browser_message_actions
             msgbase_portable)
pelmora_fuzz(fuzz_message_actions SOURCES tests/fuzz_message_actions.cpp LIBS browser_message_actions
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/message_actions RUNS 5000)
if(NOT PELMORA_NATIVE)
  pelmora_program_library(browser_message_actions)
endif()
# --- end of message operations ------------------------------------------------------
