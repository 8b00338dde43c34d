# The message view's answers to the rich-text control (links, notifications).
if(NOT PELMORA_NATIVE)
  add_library(compose_wrx_link STATIC wrx_link_win32.cpp)
  target_include_directories(compose_wrx_link PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(compose_wrx_link PUBLIC wrx core shell32)
  pelmora_program_library(compose_wrx_link)
  pelmora_test(compose_wrx_link_tests SOURCES tests/wrx_link_test.cpp LIBS compose_wrx_link)
endif()
