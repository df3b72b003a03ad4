# Toolchain: 64-bit Windows (x86_64-w64-mingw32).
set(QUILLFERN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
