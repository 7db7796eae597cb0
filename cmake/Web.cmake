# The browser build (Emscripten): libjpeg-turbo compiled to wasm from
# Debian's source package, with the settings the system library uses, so a
# JPEG decodes to the same pixels as on Linux; and the programs' link flags.
#
# Two runtimes.  This build has none of the threaded one: plain, bitmap and
# photo start no thread, and without shared memory they start on any static
# host, with no headers.  The layer's thread-local state (the last error,
# each thread's device context) needs nothing more there: without threads
# wasm-ld makes each thread_local an ordinary global, the layer's locks do
# nothing and its atomics are plain loads and stores.  rainbow_threaded is a build of
# its own, in build/web/threads (site/CMakeLists.txt): with -pthread the
# runtime, every object linked in and the memory (shared) all change.
option(RAINBOW_WEB_THREADS "Build with the threaded runtime (rainbow_threaded's sub-build)" OFF)
mark_as_advanced(RAINBOW_WEB_THREADS)
# Saturating float-to-integer conversions: without them every conversion in
# the step is wrapped in range checks and branches.
set(RAINBOW_WEB_FLAGS -mnontrapping-fptoint)
if(RAINBOW_WEB_THREADS)
  list(APPEND RAINBOW_WEB_FLAGS -pthread)
  add_link_options(-pthread)
endif()

include(ExternalProject)

add_compile_options(${RAINBOW_WEB_FLAGS})
string(REPLACE ";" " " _web_c_flags "${RAINBOW_WEB_FLAGS}")

# libjpeg-turbo, for rainbow_photo only.  The threaded sub-build gets the
# headers of this one's (RAINBOW_WEB_JPEG_SOURCE and _BUILD) so the layer
# compiles, and never links a JPEG object: rainbow_threaded decodes no
# picture, and wasm-ld would refuse one without atomics in shared memory.
set(RAINBOW_WEB_JPEG_SOURCE "" CACHE PATH "libjpeg-turbo's source (the threaded sub-build)")
set(RAINBOW_WEB_JPEG_BUILD "" CACHE PATH "libjpeg-turbo's build folder (the threaded sub-build)")
mark_as_advanced(RAINBOW_WEB_JPEG_SOURCE RAINBOW_WEB_JPEG_BUILD)
if(RAINBOW_WEB_JPEG_BUILD)
  set(_jpeg_source ${RAINBOW_WEB_JPEG_SOURCE})
  set(_jpeg_build ${RAINBOW_WEB_JPEG_BUILD})
else()
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
               "-DCMAKE_C_FLAGS=${_web_c_flags}" -DWITH_SIMD=0 -DENABLE_SHARED=0 -DWITH_TURBOJPEG=0
               -DSIZE_T=4 -DUNSIGNED_LONG=4
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${_jpeg_build} --target jpeg-static
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${_jpeg_build}/libjpeg.a)
endif()
add_library(JPEG::JPEG STATIC IMPORTED GLOBAL)
file(MAKE_DIRECTORY ${_jpeg_build})
set_target_properties(JPEG::JPEG PROPERTIES
  IMPORTED_LOCATION ${_jpeg_build}/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES "${_jpeg_source};${_jpeg_build}")
if(TARGET libjpeg_wasm)
  add_dependencies(JPEG::JPEG libjpeg_wasm)
endif()

# The page's side of the window-system backend, and the program's turns
# given back to the browser (Asyncify) where it waits; memory that grows
# with the window's client (surface.cpp).  No data below
# 64 KiB: Win32 takes a pointer there for a resource number
# (IS_INTRESOURCE), and wasm would otherwise put the programs' strings there.
set(RAINBOW_WEB_LIBRARY ${PROJECT_SOURCE_DIR}/platform/backends/web/backend_web.js)
set(RAINBOW_WEB_LINK_OPTIONS
  --js-library ${RAINBOW_WEB_LIBRARY} -sGLOBAL_BASE=65536
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  "-sASYNCIFY_IMPORTS=['rb_web_yield','rb_web_wait','rb_web_message_box']"
  -sALLOW_MEMORY_GROWTH -sEXIT_RUNTIME -sFORCE_FILESYSTEM
  "-sEXPORTED_RUNTIME_METHODS=['FS']")

# Links `target` for the page; THREADS: a worker is ready before main();
# MODULE: the script only defines RainbowProgram(settings), which starts the
# program with the page's settings (site/page.js) and gives a promise of it,
# so nothing global is shared between the page and the runtime; a threaded
# program's worker calls the same factory.
function(rainbow_web_program target)
  cmake_parse_arguments(arg "THREADS;MODULE" "" "" ${ARGN})
  set_target_properties(${target} PROPERTIES SUFFIX .js LINK_DEPENDS ${RAINBOW_WEB_LIBRARY})
  target_link_options(${target} PRIVATE ${RAINBOW_WEB_LINK_OPTIONS})
  if(arg_MODULE)
    target_link_options(${target} PRIVATE -sMODULARIZE -sEXPORT_NAME=RainbowProgram)
  endif()
  if(arg_THREADS)
    if(NOT RAINBOW_WEB_THREADS)
      message(FATAL_ERROR "${target} needs the threaded runtime: build it with RAINBOW_WEB_THREADS")
    endif()
    target_link_options(${target} PRIVATE -sPTHREAD_POOL_SIZE=1 -Wno-pthreads-mem-growth)
  endif()
endfunction()
