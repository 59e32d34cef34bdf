# A Windows build made on Linux with MinGW-w64: GoogleTest built by the same compiler,
# the container packer built for the build machine (the built-in image is made at build
# time), and Wine to run the build's programs: test discovery and CTest go through it.

# Debian's GoogleTest sources, compiled like the rest of the Windows build. Added before
# the project's warnings, which are for the project's own code.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# The packer for the build machine: the same sources, configured with the build
# machine's compiler and only what the packer needs.
include(ExternalProject)
set(VL_HOST_PACKER ${CMAKE_BINARY_DIR}/host/tools/vlpack)
ExternalProject_Add(vl_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host
  CMAKE_ARGS -DVL_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release -G Ninja
  BUILD_COMMAND ${CMAKE_COMMAND} --build . --target vlpack
  BUILD_BYPRODUCTS ${VL_HOST_PACKER}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD OFF)

# Wine runs the build's programs in a prefix of the build's own, with the build's bin/
# (the program, the Qt and MinGW libraries beside it) as their directory. The loader is
# Wine's own for the build's word size; scripts/windows passes the one that runs 32-bit
# programs on this machine (under qemu-i386 where the kernel runs no 32-bit code), with
# the 64-bit loader that makes the prefix beside it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  find_program(VL_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  find_program(VL_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
get_filename_component(vl_wine_dir ${VL_WINE} DIRECTORY)
set(VL_WINE64 ${vl_wine_dir}/wine64)
set(VL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
