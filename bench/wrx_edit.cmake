# Rich-text control: search, replace-all and saving as RTF against plain
# operations on the same bytes (Windows only).
if(NOT PELMORA_NATIVE)
  add_executable(wrx_edit_bench wrx_edit_bench.cpp)
  target_link_libraries(wrx_edit_bench PRIVATE wrx)
  target_link_options(wrx_edit_bench PRIVATE -mconsole)
endif()
