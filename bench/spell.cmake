
# The spelling engine against the distribution's hunspell. Built natively only
# (it starts hunspell as a child process), with the engine compiled in release
# form and without the sanitizers so the figures are the engine's own.
if(PELMORA_NATIVE)
  add_executable(spell_bench spell_bench.cpp
    ${PROJECT_SOURCE_DIR}/spell/chartab.cpp ${PROJECT_SOURCE_DIR}/spell/spellfile.cpp
    ${PROJECT_SOURCE_DIR}/spell/soundtab.cpp ${PROJECT_SOURCE_DIR}/spell/suggest.cpp
    ${PROJECT_SOURCE_DIR}/spell/tlex.cpp ${PROJECT_SOURCE_DIR}/spell/clex.cpp
    ${PROJECT_SOURCE_DIR}/spell/block.cpp ${PROJECT_SOURCE_DIR}/spell/engine.cpp
    ${PROJECT_SOURCE_DIR}/spell/tools/clx_pack.cpp)
  target_include_directories(spell_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(spell_bench PRIVATE -fno-sanitize=all -O2 -UDEBUG -DNDEBUG)
  target_link_options(spell_bench PRIVATE -fno-sanitize=all)
endif()
