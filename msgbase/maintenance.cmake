# --- Maintenance: reindex, prune, delete and resign, statistics --------------
# The rules (prune days, conf.pru, archive names, thread ages, which files are
# logs, index checks, statistics lines) are portable; the passes over the data
# directory and their dialogs are Win32.
add_library(msgbase_maint_portable STATIC prune_rules.cpp reindex_rules.cpp msgbase_stats.cpp)
target_include_directories(msgbase_maint_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(msgbase_maint_portable PUBLIC core_util_portable core_portable)

pelmora_test(msgbase_maint_portable_tests
  SOURCES tests/prune_rules_test.cpp tests/reindex_rules_test.cpp tests/msgbase_stats_test.cpp
  LIBS msgbase_maint_portable)
pelmora_fuzz(fuzz_prune_list SOURCES tests/fuzz_prune_list.cpp LIBS msgbase_maint_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/prune_list RUNS 5000)
# --- end of maintenance -------------------------------------------------------
