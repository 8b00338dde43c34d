# The spelling front end: its portable half (the program's session, the walk
# through a text) in both presets; the dialogs on Windows only.
add_library(spell_front_portable STATIC front.cpp check_walk.cpp)
target_include_directories(spell_front_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(spell_front_portable PUBLIC spell)
pelmora_test(spell_front_tests
  SOURCES tests/front_test.cpp tests/spell_fixtures.cpp
  LIBS spell_front_portable spell_clxpack)
pelmora_fuzz(fuzz_spell_walk SOURCES tests/fuzz_spell_walk.cpp LIBS spell_front_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/spell_walk RUNS 4000)

# The dialogs and the editor's spell check (Win32).
if(NOT PELMORA_NATIVE)
  add_library(spell_front STATIC spell_front_win32.cpp check_dialog_win32.cpp lexicon_dialog_win32.cpp)
  target_link_libraries(spell_front PUBLIC spell_front_portable core core_util compose_editor)
  # The shell's start-up installs the spell check into the editor's hooks.
  target_link_libraries(shell PUBLIC spell_front)
  pelmora_program_library(spell_front)

  pelmora_test(spell_front_win32_tests
    SOURCES tests/spell_dialog_test.cpp tests/spell_dialog_test.rc tests/spell_fixtures.cpp
    LIBS program_libs spell_clxpack)
  target_compile_definitions(spell_front_win32_tests PRIVATE SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  set_tests_properties(spell_front_win32_tests PROPERTIES RUN_SERIAL TRUE)
  set_property(SOURCE tests/spell_dialog_test.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/resources/spell.rc ${PROJECT_SOURCE_DIR}/resources/spell_ids.h)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/pl32.rc DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY
               OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/spell.rc ${PROJECT_SOURCE_DIR}/resources/spell_ids.h)
endif()
