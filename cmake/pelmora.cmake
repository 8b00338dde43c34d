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
  # Run-time checks for the code no sanitizer sees: stack canaries, the C
  # library's checked copies and the C++ library's bounds assertions. A
  # fault stops the program at once instead of corrupting what follows.
  add_compile_options(-fstack-protector-strong)
  add_compile_definitions(_FORTIFY_SOURCE=2 _GLIBCXX_ASSERTIONS)
  add_link_options(-fstack-protector-strong)
  link_libraries(ssp)
endif()

# pelmora_test(name SOURCES ... LIBS ...): a GoogleTest program registered with
# ctest; on Windows builds ctest runs it through the emulator (Wine).
function(pelmora_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_support GTest::gtest GTest::gtest_main)
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

# pelmora_part: the usual shape of a module's part — a portable library with
# its tests and fuzz targets, then on Windows the library around it with its
# tests.
#   PORTABLE lib  SOURCES ...  LIBS ...   TESTS ... (test program lib_tests)
#   FUZZ fuzz_x[:runs] ...     (tests/fuzz_x.cpp over tests/corpus/x)
#   WIN32 lib  WIN32_SOURCES ...  WIN32_LIBS ...  WIN32_TESTS ...
#   [WIN32_TEST_NAME name (default lib_tests)]  [WIN32_TEST_LIBS ...]
# The Windows library links the portable one; a part may have either half.
function(pelmora_part)
  cmake_parse_arguments(P "" "PORTABLE;WIN32;WIN32_TEST_NAME"
                        "SOURCES;LIBS;TESTS;FUZZ;WIN32_SOURCES;WIN32_LIBS;WIN32_TESTS;WIN32_TEST_LIBS" ${ARGN})
  if(P_PORTABLE)
    add_library(${P_PORTABLE} STATIC ${P_SOURCES})
    target_include_directories(${P_PORTABLE} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${P_PORTABLE} PUBLIC ${P_LIBS})
    if(P_TESTS)
      pelmora_test(${P_PORTABLE}_tests SOURCES ${P_TESTS} LIBS ${P_PORTABLE})
    endif()
    foreach(fuzz ${P_FUZZ})
      string(REPLACE ":" ";" fuzz_parts ${fuzz})
      list(GET fuzz_parts 0 fuzz_name)
      string(REGEX REPLACE "^fuzz_" "" corpus ${fuzz_name})
      set(runs "")
      list(LENGTH fuzz_parts fuzz_count)
      if(fuzz_count GREATER 1)
        list(GET fuzz_parts 1 fuzz_runs)
        set(runs RUNS ${fuzz_runs})
      endif()
      pelmora_fuzz(${fuzz_name} SOURCES tests/${fuzz_name}.cpp LIBS ${P_PORTABLE}
                   CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/${corpus} ${runs})
    endforeach()
  endif()
  if(P_WIN32 AND NOT PELMORA_NATIVE)
    add_library(${P_WIN32} STATIC ${P_WIN32_SOURCES})
    target_include_directories(${P_WIN32} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${P_WIN32} PUBLIC ${P_PORTABLE} ${P_WIN32_LIBS})
    if(P_WIN32_TESTS)
      if(NOT P_WIN32_TEST_NAME)
        set(P_WIN32_TEST_NAME ${P_WIN32}_tests)
      endif()
      pelmora_test(${P_WIN32_TEST_NAME} SOURCES ${P_WIN32_TESTS} LIBS ${P_WIN32} ${P_WIN32_TEST_LIBS})
    endif()
  endif()
endfunction()
