# Cross build for 64-bit Windows with mingw-w64 (posix thread model, for
# std::thread and friends), linked statically: one .exe, no DLLs beside it.
# CTest starts the programs through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QuorvaneMingwTriple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QuorvaneMingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QuorvaneMingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${QuorvaneMingwTriple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QuorvaneMingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The test scripts pass the Wine they found (scripts/wine-env.sh); this is for a plain cmake run.
find_program(QuorvaneWine NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QuorvaneWine AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QuorvaneWine})
endif()
