# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model, for std::thread).
# KERFLINE_WINDOWS_PREFIX is the folder the libraries were built into (scripts/cross-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)
set(CMAKE_AR ${mingw_triple}-gcc-ar-posix)
set(CMAKE_RANLIB ${mingw_triple}-gcc-ranlib-posix)

if(NOT KERFLINE_WINDOWS_PREFIX AND DEFINED ENV{KERFLINE_WINDOWS_PREFIX})
  set(KERFLINE_WINDOWS_PREFIX $ENV{KERFLINE_WINDOWS_PREFIX})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KERFLINE_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${KERFLINE_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${KERFLINE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see only the Windows libraries, never the host's.
if(KERFLINE_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${KERFLINE_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

# Static runtime: the programs run under Wine or on a bare Windows without DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
