# 64-bit Windows: for where 32-bit code cannot run.
set(QF_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix.cmake)
