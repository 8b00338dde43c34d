# --- Maintenance: reindex, prune, delete and resign, statistics --------------
# The rules (prune days, conf.pru, archive names, thread ages, which files are
# logs, index checks, statistics lines) are portable; the passes over the data
# directory and their dialogs are Win32, tested end to end on fixtures and
# with the dialogs driven by messages.
pelmora_part(
  PORTABLE msgbase_maint_portable
  SOURCES prune_rules.cpp prune_commit.cpp reindex_rules.cpp msgbase_stats.cpp del_resign_rules.cpp
  LIBS msgbase_message_text core_util_portable core_portable
  TESTS tests/prune_rules_test.cpp tests/prune_commit_test.cpp tests/reindex_rules_test.cpp tests/msgbase_stats_test.cpp
        tests/del_resign_rules_test.cpp
  FUZZ fuzz_prune_list:5000
  WIN32 msgbase_maint
  WIN32_SOURCES maintenance_win32.cpp scan_progress_win32.cpp which_scope_win32.cpp prune_win32.cpp reindex_win32.cpp
                del_resign_win32.cpp msgbase_stats_win32.cpp set_prune_win32.cpp
  WIN32_LIBS msgbase_message_ops msgbase_topic_open msgbase_import msgbase_uinfo online_script_cmd core_util comdlg32
  WIN32_TESTS tests/maint_dialogs_test.cpp tests/maintenance_test.cpp ${PROJECT_SOURCE_DIR}/resources/msgbase.rc)
# --- end of maintenance -------------------------------------------------------

if(NOT PELMORA_NATIVE)
  pelmora_program_library(msgbase_maint)

  # The import program is defined later in the tree; the generator expression waits for it.
  target_compile_definitions(msgbase_maint_tests PRIVATE IMPORT32_EXE="$<TARGET_FILE:import32>")
  add_dependencies(msgbase_maint_tests import32)
  # Claiming the message base stops any running import program, which would
  # reach another test's: these tests run alone.
  set_tests_properties(msgbase_maint_tests PROPERTIES RUN_SERIAL TRUE)
  # The kill test's other process: a reindex or prune that a test ends at a named point.
  add_executable(maintrunner tests/maintrunner.cpp ${PROJECT_SOURCE_DIR}/resources/msgbase.rc)
  target_link_libraries(maintrunner PRIVATE msgbase_maint)
  target_link_options(maintrunner PRIVATE -mconsole)
  add_dependencies(msgbase_maint_tests maintrunner)
  target_compile_definitions(msgbase_maint_tests PRIVATE MAINTRUNNER_EXE="$<TARGET_FILE:maintrunner>")
endif()
