# The spelling engine against hunspell's library (libhunspell-dev), both on
# the same word list in the same process. Built natively only, with the engine
# compiled in release form and without the sanitizers so the figures are the
# engine's own.
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
  find_path(PELMORA_HUNSPELL_INCLUDE hunspell/hunspell.hxx)
  find_library(PELMORA_HUNSPELL_LIBRARY NAMES hunspell-1.7 hunspell)
  if(PELMORA_HUNSPELL_INCLUDE AND PELMORA_HUNSPELL_LIBRARY)
    target_compile_definitions(spell_bench PRIVATE SPELL_BENCH_HUNSPELL)
    target_include_directories(spell_bench SYSTEM PRIVATE ${PELMORA_HUNSPELL_INCLUDE})
    target_link_libraries(spell_bench PRIVATE ${PELMORA_HUNSPELL_LIBRARY})
  endif()
endif()
