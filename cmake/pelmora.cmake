# Shared build helpers for every module.

set(PELMORA_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")

# Several checkouts of the same sources share one compiler cache.
find_program(PELMORA_CCACHE ccache)
if(PELMORA_CCACHE)
  set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1 ${PELMORA_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_C_COMPILER_LAUNCHER})
endif()

if(PELMORA_NATIVE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
else()
  # One self-contained executable: no compiler runtime DLL travels with it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
  add_compile_options(-Wall -Wno-unused-parameter)
endif()

# pelmora_test(name SOURCES ... LIBS ...): a GoogleTest program registered with
# ctest; on Windows builds ctest runs it through the emulator (Wine).
function(pelmora_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  pelmora_win64_skips(${name})
endfunction()

# The x86_64 test build (for machines that cannot run 32-bit code) leaves out
# the cases listed in tests/win64_skips.cmake.
function(pelmora_win64_skips name)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
    include(${PROJECT_SOURCE_DIR}/tests/win64_skips.cmake)
    if(PELMORA_WIN64_SKIP_${name} STREQUAL "*")
      set_tests_properties(${name} PROPERTIES DISABLED TRUE)
    elseif(DEFINED PELMORA_WIN64_SKIP_${name})
      set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${PELMORA_WIN64_SKIP_${name}}")
    endif()
  endif()
endfunction()

# pelmora_fuzz(name SOURCES ... LIBS ... CORPUS dir): a fuzz target
# (LLVMFuzzerTestOneInput) linked with our replay-and-mutate driver. ctest runs
# the corpus plus a fixed number of seeded mutations, so every run is repeatable.
function(pelmora_fuzz name)
  if(NOT PELMORA_NATIVE)
    return()  # fuzzing runs natively, under the sanitizers
  endif()
  cmake_parse_arguments(F "" "CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
  if(NOT F_RUNS)
    set(F_RUNS 20000)
  endif()
  add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_driver.cpp)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_test(NAME ${name} COMMAND ${name} --runs=${F_RUNS} ${F_CORPUS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# pelmora_program_library(lib): a static library that goes into pl32.exe. The
# program's libraries call each other both ways, so they link as one group;
# window tests that need the whole program link the `program_libs` target.
function(pelmora_program_library lib)
  set_property(GLOBAL APPEND PROPERTY PELMORA_PROGRAM_LIBS ${lib})
endfunction()
