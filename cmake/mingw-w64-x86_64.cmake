# Cross-building for 64-bit Windows with Debian's mingw-w64 on Linux.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DGW_WINDOWS_PREFIX=/abs/deps ...
# GW_WINDOWS_PREFIX is where scripts/build-windows-deps.sh installed the
# static libraries (libpng, libjpeg-turbo, libzip, pixman, Cairo).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(GW_MINGW_TRIPLE x86_64-w64-mingw32)

# The -posix compilers, not the default -win32 ones: GCC 12's win32 thread
# model has no std::thread or std::mutex, which the core needs.
set(CMAKE_C_COMPILER ${GW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GW_MINGW_TRIPLE}-windres)

if(NOT GW_WINDOWS_PREFIX AND DEFINED ENV{GW_WINDOWS_PREFIX})
  set(GW_WINDOWS_PREFIX $ENV{GW_WINDOWS_PREFIX})
endif()
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GW_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${GW_MINGW_TRIPLE})
if(GW_WINDOWS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${GW_WINDOWS_PREFIX})
  # pkg-config sees only the cross prefix (and mingw's own zlib), never the
  # build machine's Linux .pc files.
  set(ENV{PKG_CONFIG_LIBDIR} "${GW_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${GW_MINGW_TRIPLE}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only (never an import library such as libz.dll.a), so the
# .exe needs no DLL beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
# Windows-GNU.cmake sets the suffixes again after this file; FindZLIB has its own switch.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (tests, the test-model maker) run through Wine.
find_program(GW_WINE NAMES wine wine64)
if(GW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GW_WINE})
endif()
