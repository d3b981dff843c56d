# Cross-compiles for 32-bit Windows with the mingw-w64 i686 toolchain.
#   cmake -S . -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(OSP_MINGW_PREFIX i686-w64-mingw32)
# The posix thread model: its C++ runtime has std::mutex and std::thread
# (winpthreads, linked in statically like the rest of the runtime), which
# GoogleTest's Windows build needs.
set(CMAKE_C_COMPILER ${OSP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${OSP_MINGW_PREFIX}-windres)
set(CMAKE_AR ${OSP_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${OSP_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${OSP_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${OSP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

