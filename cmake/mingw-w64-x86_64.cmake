# Cross-building for 64-bit Windows with Debian's MinGW-w64 (POSIX threads).
# QUORVANE_WINDOWS_PREFIX (cache variable or environment) is the dependency cache
# scripts/build-windows --deps made: Qt, LibRaw and the image libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "")

if(NOT QUORVANE_WINDOWS_PREFIX AND DEFINED ENV{QUORVANE_WINDOWS_PREFIX})
  set(QUORVANE_WINDOWS_PREFIX "$ENV{QUORVANE_WINDOWS_PREFIX}")
endif()
set(QUORVANE_WINDOWS_PREFIX "${QUORVANE_WINDOWS_PREFIX}" CACHE PATH "Cross-built dependencies")
# try_compile projects see the same prefix
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVANE_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
if(QUORVANE_WINDOWS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${QUORVANE_WINDOWS_PREFIX}" "${QUORVANE_WINDOWS_PREFIX}/qt")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the cache only, never for the build machine's libraries
set(ENV{PKG_CONFIG_LIBDIR} "${QUORVANE_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(QUORVANE_WINE wine)
  if(QUORVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORVANE_WINE}")
  endif()
endif()
