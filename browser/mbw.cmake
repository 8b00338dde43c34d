# --- The MessageBase window: filter sets (portable), the folder list and the window
add_library(browser_mbw_filter STATIC mbw_filter.cpp drop_import.cpp)
target_include_directories(browser_mbw_filter PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(browser_mbw_filter PUBLIC core_util_portable core_portable)
pelmora_test(browser_mbw_filter_tests SOURCES tests/mbw_filter_test.cpp tests/drop_import_test.cpp LIBS browser_mbw_filter)
pelmora_fuzz(fuzz_mbw_filter SOURCES tests/fuzz_mbw_filter.cpp LIBS browser_mbw_filter
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/mbw_filter RUNS 5000)
# --- end of the MessageBase window ---------------------------------------------

if(NOT PELMORA_NATIVE)
  add_library(browser_mbw STATIC mbw_window_win32.cpp mbw_list_win32.cpp mbw_draw_win32.cpp dropped_files_win32.cpp)
  target_link_libraries(browser_mbw PUBLIC browser_mbw_filter browser_window shell)
  pelmora_program_library(browser_mbw)
  pelmora_test(browser_mbw_tests SOURCES tests/mbw_window_test.cpp tests/dropped_files_test.cpp
               ${PROJECT_SOURCE_DIR}/resources/browser_dialogs.rc LIBS program_libs)
  set_tests_properties(browser_mbw_tests PROPERTIES RUN_SERIAL TRUE)
endif()
pelmora_fuzz(fuzz_drop_import SOURCES tests/fuzz_drop_import.cpp LIBS browser_mbw_filter
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/drop_import RUNS 5000)
