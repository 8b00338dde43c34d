# --- The virtual list box: the portable model and the VLBCLASS window --------
add_library(browser_vlb_model STATIC vlb_model.cpp)
target_include_directories(browser_vlb_model PUBLIC ${PROJECT_SOURCE_DIR})

pelmora_test(browser_vlb_model_tests SOURCES tests/vlb_model_test.cpp LIBS browser_vlb_model)

if(NOT PELMORA_NATIVE)
  add_library(browser_vlb STATIC vlb_win32.cpp)
  target_link_libraries(browser_vlb PUBLIC browser_vlb_model core_util core)
  pelmora_program_library(browser_vlb)
  pelmora_program_library(browser_vlb_model)

  pelmora_test(browser_vlb_tests SOURCES tests/vlb_win32_test.cpp LIBS browser_vlb)
endif()
# --- end of the virtual list box ---------------------------------------------
