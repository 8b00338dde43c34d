# The outbasket: the action file format, ordering and duplicate merge, and the
# ghosts of the open topic. The format and the ordering are portable and build
# in both presets; the ghosts' platform defaults come from one file per build.
add_library(online_outbasket_portable STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/action_file.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/outbasket_order.cpp)
target_include_directories(online_outbasket_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(online_outbasket_portable PUBLIC core_arrays core_util_portable)

if(PELMORA_NATIVE)
  add_library(online_ghosts STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ghosts.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ghosts_files.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/ghosts_stdio.cpp)
  target_link_libraries(online_ghosts PUBLIC online_outbasket_portable)
else()
  add_library(online_ghosts STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ghosts.cpp ${CMAKE_CURRENT_SOURCE_DIR}/ghosts_files.cpp
                                   ${CMAKE_CURRENT_SOURCE_DIR}/ghosts_win32.cpp)
  target_link_libraries(online_ghosts PUBLIC online_outbasket_portable core msgbase_topic_open)
  pelmora_program_library(online_ghosts)
  pelmora_program_library(online_outbasket_portable)
endif()

pelmora_test(online_outbasket_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/action_file_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_order_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/tests/ghosts_test.cpp
  LIBS online_ghosts)
pelmora_fuzz(fuzz_action_file SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz_action_file.cpp
             LIBS online_ghosts
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/action_file RUNS 20000)

# The files: queuing, loading with the merge, the safe rewrite, the connect lock.
if(NOT PELMORA_NATIVE)
  add_library(online_outbasket STATIC ${CMAKE_CURRENT_SOURCE_DIR}/outbasket_files_win32.cpp)
  target_link_libraries(online_outbasket PUBLIC online_outbasket_portable core core_util msgbase_conf)
  pelmora_program_library(online_outbasket)
  add_executable(outbasket_saver ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_saver.cpp)
  target_link_libraries(outbasket_saver PRIVATE online_outbasket)
  target_link_options(outbasket_saver PRIVATE -mconsole)
  pelmora_test(online_outbasket_files_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_files_test.cpp
               LIBS online_outbasket)
  add_dependencies(online_outbasket_files_tests outbasket_saver)
  # Its kill test rewrites megabytes without pause; alone, it slows no timed test of others.
  set_tests_properties(online_outbasket_files_tests PROPERTIES RUN_SERIAL TRUE)
endif()

# The outbasket window and its test, which drives it by messages under Wine.
if(NOT PELMORA_NATIVE)
  add_library(online_outbasket_window STATIC ${CMAKE_CURRENT_SOURCE_DIR}/outbasket_window_win32.cpp
                                              ${CMAKE_CURRENT_SOURCE_DIR}/outbasket_editor_win32.cpp)
  target_link_libraries(online_outbasket_window PUBLIC online_outbasket online_ghosts online_script_cmd online_connect shell
                                                       compose_editor)
  pelmora_program_library(online_outbasket_window)
  pelmora_test(online_outbasket_window_tests
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_window_test.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_window_test.rc
    LIBS program_libs)
  target_compile_definitions(online_outbasket_window_tests PRIVATE SHOT_DIR="${CMAKE_BINARY_DIR}")
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tests/outbasket_window_test.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/resources/online.rc ${PROJECT_SOURCE_DIR}/resources/online_ids.h)
  set_tests_properties(online_outbasket_window_tests PROPERTIES RUN_SERIAL TRUE)
endif()

# The review text of an editor's message, for printing it.
if(NOT PELMORA_NATIVE)
  add_library(online_review_text STATIC ${CMAKE_CURRENT_SOURCE_DIR}/review_text_win32.cpp)
  target_link_libraries(online_review_text PUBLIC compose_view compose_editor wrx core)
  pelmora_program_library(online_review_text)
  # The soft-break rule it shares with the editor, in the group so either side may come first.
  pelmora_program_library(compose_core)
  pelmora_test(online_review_text_tests SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/review_text_test.cpp
               LIBS program_libs)
endif()
