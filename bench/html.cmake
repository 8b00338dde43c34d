# The HTML reader's JPEG decoder against libjpeg's decompressor (the
# distribution's build, its SIMD switched off at run time so both are plain
# C), both compiled for speed and without the sanitizers. Built natively.
if(PELMORA_NATIVE)
  find_library(PELMORA_SYSTEM_JPEG jpeg)
  find_path(PELMORA_SYSTEM_JPEG_INCLUDE jpeglib.h)
  if(PELMORA_SYSTEM_JPEG AND PELMORA_SYSTEM_JPEG_INCLUDE)
    add_executable(html_jpeg_bench html_jpeg_bench.cpp
      ${PROJECT_SOURCE_DIR}/wrx/html/jpeg_decode.cpp ${PROJECT_SOURCE_DIR}/wrx/html/dib.cpp)
    target_include_directories(html_jpeg_bench PRIVATE ${PROJECT_SOURCE_DIR} ${PELMORA_SYSTEM_JPEG_INCLUDE})
    target_link_libraries(html_jpeg_bench PRIVATE ${PELMORA_SYSTEM_JPEG})
    target_compile_options(html_jpeg_bench PRIVATE -fno-sanitize=all -O2 -UDEBUG -DNDEBUG)
    target_link_options(html_jpeg_bench PRIVATE -fno-sanitize=all)
  endif()
endif()

# Reading a 2 MB page into a hidden control against plain ReadFile (Windows).
if(NOT PELMORA_NATIVE)
  add_executable(html_read_bench html_read_bench.cpp)
  target_link_libraries(html_read_bench PRIVATE wrx_html)
  target_link_options(html_read_bench PRIVATE -mconsole)
endif()
