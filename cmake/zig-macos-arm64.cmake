# Cross-compiles Kestova for Apple silicon Macs.
set(PGV_MAC_ARCH arm64)
set(PGV_ZIG_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
