# Cross-compiling the Windows flavour with Debian's mingw-w64 (posix thread model, for
# std::thread and std::mutex). Everything is linked statically: under Wine with WINEDEBUG=-all
# a missing compiler DLL shows only as a bare exit code 53.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and anything else CMake runs for the target go through Wine.
find_program(LW_WINE NAMES wine wine64)
if(LW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LW_WINE})
endif()
