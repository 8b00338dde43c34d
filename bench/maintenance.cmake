# Maintenance: thread ages and the prune plan of a long chain (both presets);
# a full reindex against reading the logs, and a prune that archives half the
# threads against copying the logs (Windows).
add_executable(maintenance_rules_bench maintenance_rules_bench.cpp)
target_link_libraries(maintenance_rules_bench PRIVATE msgbase_maint_portable)
if(NOT PELMORA_NATIVE)
  target_link_options(maintenance_rules_bench PRIVATE -mconsole)
  add_executable(maintenance_bench maintenance_bench.cpp ${PROJECT_SOURCE_DIR}/resources/msgbase.rc)
  target_link_libraries(maintenance_bench PRIVATE msgbase_maint)
  target_link_options(maintenance_bench PRIVATE -mconsole)
endif()
