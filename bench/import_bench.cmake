# A large news batch through the import queue and import32.exe against a plain
# copy of the same bytes, then logopen of one imported topic.
if(NOT PELMORA_NATIVE)
  add_executable(import_bench import_bench.cpp)
  target_link_libraries(import_bench PRIVATE msgbase_topic_open msgbase_import)
  target_link_options(import_bench PRIVATE -mconsole)
  if(TARGET import32)
    target_compile_definitions(import_bench PRIVATE IMPORT32_EXE="$<TARGET_FILE:import32>")
    add_dependencies(import_bench import32)
  endif()
endif()
