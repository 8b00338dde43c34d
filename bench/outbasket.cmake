# The outbasket: ordering and rewriting 1,000 to 50,000 actions against one
# plain pass over the same bytes, and the ghosts of 10,000 queued actions.
add_executable(outbasket_bench ${CMAKE_CURRENT_SOURCE_DIR}/outbasket_bench.cpp)
target_link_libraries(outbasket_bench PRIVATE online_ghosts)
if(WIN32)
  target_link_options(outbasket_bench PRIVATE -mconsole)
endif()
