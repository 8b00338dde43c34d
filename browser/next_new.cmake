# --- Next new message and go to folder: the choices (portable) and the moves ----
add_library(browser_next_new STATIC next_new.cpp)
target_include_directories(browser_next_new PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(browser_next_new PUBLIC core_portable)
pelmora_test(browser_next_new_tests SOURCES tests/next_new_test.cpp LIBS browser_next_new)
if(NOT PELMORA_NATIVE)
  pelmora_program_library(browser_next_new)
endif()
# --- end of next new message -----------------------------------------------------
