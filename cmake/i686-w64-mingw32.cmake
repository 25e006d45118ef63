# Cross-build for 32-bit Windows with MinGW-w64; programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The compiler's thread model. posix for the tests: GoogleTest needs std::mutex (its thread library
# is linked statically). win32 for launcher.exe, built by a nested build (see CMakeLists.txt).
set(MINGW_THREAD_MODEL posix CACHE STRING "Thread model of the MinGW-w64 compiler: posix or win32")
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREAD_MODEL) # CMake's own test builds use it too
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every test program is started through a fresh copy of a Wine prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine-run)
