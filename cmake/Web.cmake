# The browser build (Emscripten): libjpeg-turbo compiled to wasm from
# Debian's source package, with the settings the system library uses, so a
# JPEG decodes to the same pixels as on Linux; and the programs' link flags.
#
# Everything is compiled and linked with -pthread: the layer's thread-local
# state (the last error, each thread's device context) needs the threaded
# runtime's TLS even in a program that starts no thread, so every page needs
# the cross-origin isolation headers (scripts/serve.sh).

include(ExternalProject)

# Saturating float-to-integer conversions: without them every conversion in
# the step is wrapped in range checks and branches.
add_compile_options(-pthread -mnontrapping-fptoint)
add_link_options(-pthread)

execute_process(
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/libjpeg_source.sh ${CMAKE_BINARY_DIR}/_deps
  OUTPUT_VARIABLE _jpeg_source OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE _jpeg_result)
if(NOT _jpeg_result EQUAL 0 OR NOT EXISTS ${_jpeg_source}/CMakeLists.txt)
  message(FATAL_ERROR "Debian's libjpeg-turbo source is needed for the browser build "
                      "(scripts/libjpeg_source.sh failed)")
endif()

set(_jpeg_build ${CMAKE_BINARY_DIR}/_deps/libjpeg-build)
# Its own size probes misread under this Emscripten: the sizes are given.
ExternalProject_Add(libjpeg_wasm
  SOURCE_DIR ${_jpeg_source}
  BINARY_DIR ${_jpeg_build}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
             "-DCMAKE_C_FLAGS=-pthread -mnontrapping-fptoint" -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0
             -DSIZE_T=4 -DUNSIGNED_LONG=4
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${_jpeg_build} --target jpeg-static
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${_jpeg_build}/libjpeg.a)
add_library(JPEG::JPEG STATIC IMPORTED GLOBAL)
file(MAKE_DIRECTORY ${_jpeg_build})
set_target_properties(JPEG::JPEG PROPERTIES
  IMPORTED_LOCATION ${_jpeg_build}/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES "${_jpeg_source};${_jpeg_build}")
add_dependencies(JPEG::JPEG libjpeg_wasm)

# The page's side of the window-system backend, and the program's turns
# given back to the browser (Asyncify) where it waits; memory that grows
# with the window's client (surface.cpp).  No data below
# 64 KiB: Win32 takes a pointer there for a resource number
# (IS_INTRESOURCE), and wasm would otherwise put the programs' strings there.
set(RAINBOW_WEB_LIBRARY ${PROJECT_SOURCE_DIR}/platform/web/backend_web.js)
set(RAINBOW_WEB_LINK_OPTIONS
  --js-library ${RAINBOW_WEB_LIBRARY} -sGLOBAL_BASE=65536
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  "-sASYNCIFY_IMPORTS=['rb_web_yield','rb_web_wait','rb_web_message_box']"
  -sALLOW_MEMORY_GROWTH -Wno-pthreads-mem-growth -sEXIT_RUNTIME -sFORCE_FILESYSTEM
  "-sEXPORTED_RUNTIME_METHODS=['FS']")

# Links `target` for the page; THREADS: a worker is ready before main().
function(rainbow_web_program target)
  cmake_parse_arguments(arg "THREADS" "" "" ${ARGN})
  set_target_properties(${target} PROPERTIES SUFFIX .js LINK_DEPENDS ${RAINBOW_WEB_LIBRARY})
  target_link_options(${target} PRIVATE ${RAINBOW_WEB_LINK_OPTIONS})
  if(arg_THREADS)
    target_link_options(${target} PRIVATE -sPTHREAD_POOL_SIZE=1)
  endif()
endfunction()
