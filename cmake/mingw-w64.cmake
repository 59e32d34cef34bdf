# Cross-compiling for Windows with Debian's MinGW-w64 (posix thread model, for
# std::thread and friends). Included by the two architecture files, which set
# VL_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10)

set(CMAKE_C_COMPILER ${VL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VL_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VL_MINGW_TRIPLE}-gcc-ar-posix)
set(CMAKE_RANLIB ${VL_MINGW_TRIPLE}-gcc-ranlib-posix)

# Libraries and packages come from the MinGW sysroot and from the prefixes named in
# CMAKE_PREFIX_PATH (the cross-built Qt and GoogleTest); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VL_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
