# Cross-build for 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RAINBOW_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
