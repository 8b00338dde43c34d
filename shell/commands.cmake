# The dispatcher, menus, command states, toolbar, tab control and progress bar.
# Their portable models (menu texts, button lists and layout, tab rows, bar
# fill) build in both presets.
add_library(shell_models STATIC
  ${CMAKE_CURRENT_LIST_DIR}/menus_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_bar_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tab_ctrl_layout.cpp)
target_include_directories(shell_models PUBLIC ${PROJECT_SOURCE_DIR})

pelmora_test(shell_models_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/shell_models_test.cpp
  LIBS shell_models)

if(NOT PELMORA_NATIVE)
  target_sources(shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/commands_hooks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/commands_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/commands_state_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menus_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/toolbar_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/toolbar_tips_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/toolbar_commands_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_bar_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tab_ctrl_win32.cpp)
  target_link_libraries(shell PUBLIC shell_models core_util settings core_arrays msgbase_topic_open msgbase_import
                        msgbase_conf)
  pelmora_program_library(shell_models)

  # The toolbar glyphs: text pixel maps made into bitmaps at build time.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(PELMORA_GLYPH_DIR ${CMAKE_BINARY_DIR}/glyphs CACHE INTERNAL "")
  file(GLOB glyph_maps CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/glyphs/*.txt)
  add_custom_command(
    OUTPUT ${PELMORA_GLYPH_DIR}/pelmora_glyphs.rc
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/glyphs/make_bitmaps.py
            ${PROJECT_SOURCE_DIR}/resources/glyphs ${PELMORA_GLYPH_DIR}/bmp ${PELMORA_GLYPH_DIR}/pelmora_glyphs.rc
    DEPENDS ${glyph_maps} ${PROJECT_SOURCE_DIR}/resources/glyphs/make_bitmaps.py
    COMMENT "Toolbar glyphs")
  add_custom_target(pelmora_glyphs DEPENDS ${PELMORA_GLYPH_DIR}/pelmora_glyphs.rc)

  # A target whose resources include resources/menus.rc gets the glyphs.
  function(pelmora_attach_glyphs target rc)
    add_dependencies(${target} pelmora_glyphs)
    target_include_directories(${target} PRIVATE ${PELMORA_GLYPH_DIR} ${PROJECT_SOURCE_DIR})
    set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
                 ${PELMORA_GLYPH_DIR}/pelmora_glyphs.rc)
  endfunction()
  # The program is defined after the modules, so attach once it exists.
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL
                 pelmora_attach_glyphs pl32 ${PROJECT_SOURCE_DIR}/resources/pl32.rc)

  pelmora_test(shell_commands_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/commands_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/shell_test_host.cpp
            ${PROJECT_SOURCE_DIR}/resources/pl32.rc
    LIBS program_libs)
  pelmora_attach_glyphs(shell_commands_test ${PROJECT_SOURCE_DIR}/resources/pl32.rc)
  # Its toolbar clicks and tips need the pointer and focus to themselves.
  set_tests_properties(shell_commands_test PROPERTIES RUN_SERIAL TRUE)

  pelmora_test(shell_tab_ctrl_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/tab_ctrl_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/shell_test_host.cpp
            ${CMAKE_CURRENT_LIST_DIR}/tests/tab_ctrl_test.rc
    LIBS program_libs)
endif()

pelmora_fuzz(fuzz_shell_models SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/fuzz_shell_models.cpp LIBS shell_models
             CORPUS ${CMAKE_CURRENT_LIST_DIR}/tests/corpus/toolbar_buttons)

# Two test programs make a frame titled "Pelmora:demo" on the same display; a
# second start looking for the running instance must not find the other's. The
# program test also reads the debug log in the drive's root, which the core
# tests write, so it runs alone.
if(NOT PELMORA_NATIVE)
  cmake_language(DEFER CALL set_tests_properties shell_windows_tests shell_program_tests
                 PROPERTIES RESOURCE_LOCK pelmora_demo_frame)
  cmake_language(DEFER CALL set_tests_properties shell_program_tests PROPERTIES RUN_SERIAL TRUE)
endif()
