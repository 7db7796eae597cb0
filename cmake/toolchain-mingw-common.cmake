# Shared by the MinGW-w64 toolchain files, which set RAINBOW_MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR first. Uses Debian's posix-thread-model compilers.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${RAINBOW_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAINBOW_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RAINBOW_MINGW_TRIPLET}-windres)

# Each .exe must run alone, with no libgcc or libstdc++ DLL beside it
# (rainbow_program adds -static, which also takes in winpthread).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Headers and libraries from the target sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${RAINBOW_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
