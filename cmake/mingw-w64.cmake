# What both MinGW-w64 toolchain files share; PGV_MINGW_TRIPLET names the target.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PGV_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${PGV_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${PGV_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's sysroot only, never from the build machine;
# programs run during the build are the build machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/${PGV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
