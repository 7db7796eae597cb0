# Cross-build for 32-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RAINBOW_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# x87 extended precision would round differently and so set other pixels than x86_64 does.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
