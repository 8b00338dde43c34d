# --- Composing: address lists, the message block, outgoing forms ----------
# Portable in both presets; the list's services come from addr_list_stdio
# natively and from the settings and the open topic on Win32.
set(compose_core_sources addr_list.cpp editor_state.cpp editor_text.cpp message_block.cpp outgoing.cpp)
if(PELMORA_NATIVE)
  list(APPEND compose_core_sources addr_list_stdio.cpp editor_controls_stdio.cpp)
endif()
add_library(compose_core STATIC ${compose_core_sources})
target_include_directories(compose_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(compose_core PUBLIC core_arrays core_util_portable core_portable)

if(PELMORA_NATIVE)
  pelmora_test(compose_core_tests
    SOURCES tests/addr_list_test.cpp tests/message_block_test.cpp tests/outgoing_test.cpp tests/editor_text_test.cpp
    LIBS compose_core)
  target_compile_definitions(compose_core_tests PRIVATE UUDECODE="/usr/bin/uudecode")
endif()
pelmora_fuzz(fuzz_message_block SOURCES tests/fuzz_message_block.cpp LIBS compose_core
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/message_block RUNS 3000)
pelmora_fuzz(fuzz_addr_list SOURCES tests/fuzz_addr_list.cpp LIBS compose_core
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/addr_list RUNS 3000)
# --- end of composing --------------------------------------------------------

# The editor's Win32 side: controls, the local road through the import queue.
if(NOT PELMORA_NATIVE)
  add_library(compose_editor STATIC addr_list_win32.cpp editor_controls_win32.cpp outgoing_win32.cpp
              editor_window_win32.cpp editor_entry_win32.cpp body_edit_win32.cpp
              signatures_win32.cpp editor_commands_win32.cpp editor_dialogs_win32.cpp editor_sender_win32.cpp
              field_edit_win32.cpp)
  target_link_libraries(compose_editor PUBLIC compose_core msgbase_import msgbase_topic_open msgbase_conf
                        msgbase_message_ops core_util settings core shell browser_window)
  # The shell's start-up installs the editor's hooks.
  target_link_libraries(shell PUBLIC compose_editor)
  pelmora_program_library(compose_editor)

  pelmora_test(compose_editor_tests
    SOURCES tests/compose_local_test.cpp tests/editor_window_test.cpp tests/editor_commands_test.cpp tests/compose_test.rc
    LIBS program_libs msgbase_import_portable)
  target_compile_definitions(compose_editor_tests PRIVATE IMPORT32_EXE="$<TARGET_FILE:import32>"
                             SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  set_tests_properties(compose_editor_tests PROPERTIES RUN_SERIAL TRUE)
  add_dependencies(compose_editor_tests import32)
endif()
pelmora_fuzz(fuzz_editor_text SOURCES tests/fuzz_editor_text.cpp LIBS compose_core
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/editor_text RUNS 3000)
