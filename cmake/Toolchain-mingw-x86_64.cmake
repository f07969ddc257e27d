# Cross build for 64-bit Windows with mingw-w64.
#
# The win32 thread model is preferred: the module starts no thread, and that
# model needs no libwinpthread-1.dll beside the module. The posix or default
# driver is the fallback when the win32 one is not installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SSAO_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(SSAO_MINGW_CC NAMES ${SSAO_MINGW_TRIPLE}-gcc-win32 ${SSAO_MINGW_TRIPLE}-gcc REQUIRED)
find_program(SSAO_MINGW_CXX NAMES ${SSAO_MINGW_TRIPLE}-g++-win32 ${SSAO_MINGW_TRIPLE}-g++ REQUIRED)
find_program(SSAO_MINGW_RC NAMES ${SSAO_MINGW_TRIPLE}-windres)
set(CMAKE_C_COMPILER ${SSAO_MINGW_CC})
set(CMAKE_CXX_COMPILER ${SSAO_MINGW_CXX})
if(SSAO_MINGW_RC)
  set(CMAKE_RC_COMPILER ${SSAO_MINGW_RC})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${SSAO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
