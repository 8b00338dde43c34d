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
