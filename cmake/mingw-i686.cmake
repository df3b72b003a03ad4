# Toolchain: 32-bit Windows (i686-w64-mingw32).
set(QUILLFERN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
