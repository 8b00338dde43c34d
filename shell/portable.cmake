# The command line and the switches handed to a running instance: portable,
# table-tested in both presets and fuzzed natively.
add_library(shell_portable STATIC ${CMAKE_CURRENT_SOURCE_DIR}/cmdline.cpp ${CMAKE_CURRENT_SOURCE_DIR}/poll_rules.cpp)
target_include_directories(shell_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(shell_portable PUBLIC core_util_portable core_portable)

pelmora_test(shell_portable_tests
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/cmdline_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/tests/poll_rules_test.cpp
  LIBS shell_portable)
pelmora_fuzz(fuzz_cmdline SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz_cmdline.cpp LIBS shell_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/cmdline)
