# --- Import queue, import text, change detection ----------------------------
# The queue's record and file form and the import-text writers are portable;
# the queue operations and the import program start need the file layer.
pelmora_part(
  PORTABLE msgbase_import_portable SOURCES import_queue_file.cpp import_text.cpp
  LIBS virtual_array core_portable
  TESTS tests/import_queue_file_test.cpp tests/import_text_test.cpp
  FUZZ fuzz_import_queue:5000
  WIN32 msgbase_import WIN32_SOURCES import_queue_win32.cpp change_detect_win32.cpp
  WIN32_LIBS msgbase_conf core_util core
  WIN32_TESTS tests/import_queue_test.cpp tests/change_detect_test.cpp)

if(NOT PELMORA_NATIVE)
  # The other instance of the queue locking test.
  add_executable(importwriter tests/importwriter.cpp)
  target_link_libraries(importwriter PRIVATE msgbase_import)
  target_link_options(importwriter PRIVATE -mconsole)
  add_dependencies(msgbase_import_tests importwriter)
endif()
# --- end of import queue ----------------------------------------------------
