# Rich-text control: loading and saving a 20 MB document (Windows only).
if(NOT PELMORA_NATIVE)
  add_executable(wrx_load_bench wrx_load_bench.cpp)
  target_link_libraries(wrx_load_bench PRIVATE wrx)
  target_link_options(wrx_load_bench PRIVATE -mconsole)
endif()

# Word wrap and position mapping.
if(NOT PELMORA_NATIVE)
  add_executable(wrx_wrap_bench wrx_wrap_bench.cpp)
  target_link_libraries(wrx_wrap_bench PRIVATE wrx)
  target_link_options(wrx_wrap_bench PRIVATE -mconsole)
endif()

# Painting: paging through a large document against plain ExtTextOut.
if(NOT PELMORA_NATIVE)
  add_executable(wrx_page_bench wrx_page_bench.cpp)
  target_link_libraries(wrx_page_bench PRIVATE wrx)
  target_link_options(wrx_page_bench PRIVATE -mconsole)
endif()

# Loading RTF against loading the same content in the native format.
if(NOT PELMORA_NATIVE)
  add_executable(wrx_rtf_load_bench wrx_rtf_load_bench.cpp)
  target_link_libraries(wrx_rtf_load_bench PRIVATE wrx)
  target_link_options(wrx_rtf_load_bench PRIVATE -mconsole)
endif()
