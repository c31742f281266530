# Cross build for Windows with the posix-thread mingw-w64 compilers of
# QF_MINGW_ARCH (i686 or x86_64), which the toolchain file including this sets.
# GoogleTest needs std::mutex, which only the posix variant provides, and the
# two variants' runtimes cannot be mixed, so product and tests both use it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QF_MINGW_ARCH})

set(CMAKE_C_COMPILER ${QF_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QF_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QF_MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QF_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
