# --- The message view: the portable MIME walk and decoders (both presets) ---
add_library(compose_mime STATIC mime_walker.cpp mime_decode.cpp)
target_include_directories(compose_mime PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(compose_mime PUBLIC msgbase_portable core_util_portable core_portable)

pelmora_test(compose_mime_tests
  SOURCES tests/mime_walker_test.cpp
  LIBS compose_mime)
pelmora_fuzz(fuzz_mime_walker SOURCES tests/fuzz_mime_walker.cpp LIBS compose_mime
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/mime_walker RUNS 5000)
# --- end of the message view -------------------------------------------------
