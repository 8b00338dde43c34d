# The main frame, status bar and status window, frame title, broadcast file
# and post-it notes.
if(NOT PELMORA_NATIVE)
  target_sources(shell PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/frame_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/status_bar_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/status_window_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/frame_title_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/broadcast_win32.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/postits_win32.cpp)
endif()
