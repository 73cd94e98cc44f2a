# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu, libc6-dev-arm64-cross). Programs built with it run
# under qemu-user, which CMake and CTest call through the emulator setting, so
# that test discovery and ctest work as in a native build.
#
#   cmake -S . -B build-aarch64 -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cross/aarch64-linux-gnu.cmake -DTARVELIN_WITH_UI=OFF
#
# GoogleTest has to be built for aarch64 too: tools/cross_aarch64.sh builds it
# from /usr/src/googletest and passes its install prefix as
# TARVELIN_CROSS_PREFIX.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(TARVELIN_CROSS_SYSROOT /usr/aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${TARVELIN_CROSS_SYSROOT})

# Libraries, headers and CMake packages only from the target's trees; programs
# (the build tools) from the host.
set(CMAKE_FIND_ROOT_PATH ${TARVELIN_CROSS_SYSROOT})
if(DEFINED TARVELIN_CROSS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TARVELIN_CROSS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
