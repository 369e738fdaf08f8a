# What both Mac toolchain files share: cross-compiles Kestova for one architecture of the shipped
# bundle with Zig's clang, its macOS libc headers and its libc++, at the bundle's oldest macOS.
# PGV_ZIG_ARCH names the architecture as Zig does, PGV_MAC_ARCH as Apple does.
include(${CMAKE_CURRENT_LIST_DIR}/KestovaPackaging.cmake)
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${PGV_MAC_ARCH})
set(CMAKE_OSX_ARCHITECTURES ${PGV_MAC_ARCH})
set(CMAKE_OSX_DEPLOYMENT_TARGET ${PGV_MAC_DEPLOYMENT_TARGET})

set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/zig/c++)
set(CMAKE_C_COMPILER_TARGET ${PGV_ZIG_ARCH}-macos.${PGV_MAC_DEPLOYMENT_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${CMAKE_C_COMPILER_TARGET})
# The build machine's ar would leave Mach-O objects unindexed, and ld64 needs the index.
set(CMAKE_AR /usr/bin/llvm-ar-14)
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-14)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/zig-macos-rules.cmake)

# Nothing of the build machine's is found for the target: no Mac SDK or library exists here but
# what the build generates; programs run during the build are the build machine's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
