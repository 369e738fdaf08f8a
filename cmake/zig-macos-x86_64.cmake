# Cross-compiles Kestova for Intel Macs.
set(PGV_MAC_ARCH x86_64)
set(PGV_ZIG_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake)
