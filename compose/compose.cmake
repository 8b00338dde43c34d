# --- Composing: address lists, the message block, outgoing forms ----------
# Portable in both presets; the list's services come from addr_list_stdio
# natively and from the settings and the open topic on Win32.
set(compose_core_sources addr_list.cpp editor_state.cpp message_block.cpp outgoing.cpp)
if(PELMORA_NATIVE)
  list(APPEND compose_core_sources addr_list_stdio.cpp)
endif()
add_library(compose_core STATIC ${compose_core_sources})
target_include_directories(compose_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(compose_core PUBLIC core_arrays core_util_portable core_portable)

if(PELMORA_NATIVE)
  pelmora_test(compose_core_tests
    SOURCES tests/addr_list_test.cpp tests/message_block_test.cpp tests/outgoing_test.cpp
    LIBS compose_core)
  target_compile_definitions(compose_core_tests PRIVATE UUDECODE="/usr/bin/uudecode")
endif()
pelmora_fuzz(fuzz_message_block SOURCES tests/fuzz_message_block.cpp LIBS compose_core
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/message_block RUNS 3000)
pelmora_fuzz(fuzz_addr_list SOURCES tests/fuzz_addr_list.cpp LIBS compose_core
             CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/corpus/addr_list RUNS 3000)
# --- end of composing --------------------------------------------------------
