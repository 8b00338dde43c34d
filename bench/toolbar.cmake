# Toolbar: repainting 100 buttons beside copying the same area from one cached
# bitmap (Windows only).
if(NOT PELMORA_NATIVE)
  add_executable(toolbar_bench toolbar_bench.cpp ${PROJECT_SOURCE_DIR}/resources/pl32.rc)
  target_link_libraries(toolbar_bench PRIVATE program_libs)
  target_link_options(toolbar_bench PRIVATE -mconsole)
  pelmora_attach_glyphs(toolbar_bench ${PROJECT_SOURCE_DIR}/resources/pl32.rc)
endif()
