# Cross build for Windows (i686) with the mingw-w64 -posix compilers
# (std::thread needs the posix threading model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under 32-bit Wine: the 32-bit loader itself rather than the
# "wine" wrapper script, which falls back to the 64-bit loader (unable to
# start a 32-bit program) when wine32 is missing. The test script creates
# the prefix and skips the stage when this loader cannot run.
find_program(QV_WINE32 NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(QV_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE32})
endif()
