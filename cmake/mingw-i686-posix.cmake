# 32-bit Windows: the build that runs on every Windows.
set(QF_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix.cmake)
