# --- Thread order: the Synopsis built from the open topic's index -----------
add_library(browser_thread_order STATIC thread_order.cpp bookmarks.cpp)
target_include_directories(browser_thread_order PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(browser_thread_order PUBLIC msgbase_conf_portable virtual_array)

pelmora_test(browser_thread_order_tests SOURCES tests/thread_order_test.cpp LIBS browser_thread_order)
if(NOT PELMORA_NATIVE)
  pelmora_program_library(browser_thread_order)
endif()
# --- end of thread order -----------------------------------------------------
pelmora_fuzz(fuzz_thread_order SOURCES tests/fuzz_thread_order.cpp LIBS browser_thread_order
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/thread_order)
