# The body of both MinGW-w64 toolchain files: set MINGW_TRIPLET and
# CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX-threads variant: GoogleTest needs std::mutex, which the Win32-threads
# variant of GCC 12 lacks.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Headers, libraries and packages of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++, GCC and thread runtimes linked in, so matchling.exe needs no MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the programs under Wine (a 32-bit target needs Wine's 32-bit part,
# Debian's wine32:i386). WINEDEBUG=-all keeps Wine's own notes off their
# standard error, which the tests check.
find_program(MATCHLING_WINE NAMES wine wine-stable)
if(MATCHLING_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${MATCHLING_WINE})
endif()
