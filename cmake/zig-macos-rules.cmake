# Read after CMake's Darwin rules (CMAKE_USER_MAKE_RULES_OVERRIDE). Zig links executables itself
# but makes no bundle, so a module goes to ld64.lld through zig/ld64-bundle, and the options a
# target gives its linker (LINKER:) reach ld64 as they are written.
set(CMAKE_CXX_CREATE_SHARED_MODULE "${CMAKE_CURRENT_LIST_DIR}/zig/ld64-bundle \
${CMAKE_CXX_COMPILER_TARGET} <LINK_FLAGS> -o <TARGET> <OBJECTS> <LINK_LIBRARIES>")
set(CMAKE_CXX_LINKER_WRAPPER_FLAG "")
# Zig's clang takes -v but refuses it for the linker, and CMake's probe of the compiler's ABI
# (among it the pointer size) passes both.
set(CMAKE_C_VERBOSE_FLAG -v)
set(CMAKE_CXX_VERBOSE_FLAG -v)
