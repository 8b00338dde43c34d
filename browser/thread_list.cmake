# --- The thread list: the open folder's rows, painting and thread moves ------
if(NOT PELMORA_NATIVE)
  add_library(browser_thread_list STATIC thread_list_win32.cpp thread_paint_win32.cpp state_icons_win32.cpp
              download_marks_win32.cpp)
  target_link_libraries(browser_thread_list PUBLIC browser_vlb browser_thread_order browser_layout msgbase_topic_open msgbase_read_state
                                                   core_util settings core)
  pelmora_program_library(browser_thread_list)

  pelmora_test(browser_thread_list_tests SOURCES tests/thread_list_test.cpp LIBS browser_thread_list)
endif()
# --- end of the thread list --------------------------------------------------
