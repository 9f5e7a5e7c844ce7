# Linux arm64 with Debian's cross compiler (g++-aarch64-linux-gnu), tests under qemu-user (Debian: qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(arm64_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${arm64_triple}-gcc)
set(CMAKE_CXX_COMPILER ${arm64_triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${arm64_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the arm64 loader and libraries come from the cross sysroot.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${arm64_triple})
