# --- The message view: the portable MIME walk and decoders (both presets) ---
add_library(compose_mime STATIC mime_walker.cpp mime_decode.cpp)
target_include_directories(compose_mime PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(compose_mime PUBLIC msgbase_portable core_util_portable core_portable)

pelmora_test(compose_mime_tests
  SOURCES tests/mime_walker_test.cpp
  LIBS compose_mime)
pelmora_fuzz(fuzz_mime_walker SOURCES tests/fuzz_mime_walker.cpp LIBS compose_mime
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/mime_walker RUNS 5000)

# The view on the rich-text control (Win32).
if(NOT PELMORA_NATIVE)
  add_library(compose_view STATIC message_view_win32.cpp attachments_win32.cpp overwrite_dlg_win32.cpp
              viewer_html_win32.cpp)
  target_link_libraries(compose_view PUBLIC compose_mime msgbase_topic_open wrx wrx_html core_util settings core)
  pelmora_program_library(compose_view)

  pelmora_test(compose_view_tests
    SOURCES tests/message_view_test.cpp tests/overwrite_dlg_test.cpp tests/view_test.rc
    LIBS compose_view msgbase_topic_open msgbase_import_portable)
  target_compile_definitions(compose_view_tests PRIVATE IMPORT32_EXE="$<TARGET_FILE:import32>"
                             SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  add_dependencies(compose_view_tests import32)
endif()
# --- end of the message view -------------------------------------------------
