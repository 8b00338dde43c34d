# --- Import queue, import text, change detection ----------------------------
# The queue's record and file form and the import-text writers are portable;
# the queue operations and the import program start need the file layer.
add_library(msgbase_import_portable STATIC import_queue_file.cpp import_text.cpp)
target_include_directories(msgbase_import_portable PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(msgbase_import_portable PUBLIC virtual_array core_portable)

pelmora_test(msgbase_import_portable_tests
  SOURCES tests/import_queue_file_test.cpp tests/import_text_test.cpp
  LIBS msgbase_import_portable)
pelmora_fuzz(fuzz_import_queue SOURCES tests/fuzz_import_queue.cpp LIBS msgbase_import_portable
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/import_queue RUNS 5000)

if(NOT PELMORA_NATIVE)
  add_library(msgbase_import STATIC import_queue.cpp change_detect.cpp)
  target_link_libraries(msgbase_import PUBLIC msgbase_import_portable msgbase_conf core_util core)

  pelmora_test(msgbase_import_tests
    SOURCES tests/import_queue_test.cpp tests/change_detect_test.cpp
    LIBS msgbase_import)
  # The other instance of the queue locking test.
  add_executable(importwriter tests/importwriter.cpp)
  target_link_libraries(importwriter PRIVATE msgbase_import)
  target_link_options(importwriter PRIVATE -mconsole)
  add_dependencies(msgbase_import_tests importwriter)
endif()
# --- end of import queue ----------------------------------------------------
