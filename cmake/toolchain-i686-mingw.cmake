# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
# The win32-thread compiler keeps winpthread out of the C++ run-time, and
# every binary links libgcc and libstdc++ statically, so the built DLL and
# programs depend on no DLL beyond the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KODRIX_MINGW_TRIPLE i686-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${KODRIX_MINGW_TRIPLE}-g++-win32 ${KODRIX_MINGW_TRIPLE}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${KODRIX_MINGW_TRIPLE}-windres)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_RC_COMPILER)
  message(FATAL_ERROR "The 32-bit MinGW-w64 cross compiler was not found "
                      "(${KODRIX_MINGW_TRIPLE}-g++-win32, ${KODRIX_MINGW_TRIPLE}-windres). "
                      "Install it with: apt-get install g++-mingw-w64-i686")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KODRIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
