# mkdemo: the console program that lays out the demo data directory.
if(NOT PELMORA_NATIVE)
  add_executable(mkdemo ${CMAKE_CURRENT_SOURCE_DIR}/tools/mkdemo/mkdemo.cpp)
  target_include_directories(mkdemo PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(mkdemo PRIVATE msgbase_import msgbase_conf core_util core spell_clxpack)
  target_link_options(mkdemo PRIVATE -mconsole)
endif()
