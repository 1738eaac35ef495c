# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX thread model, which the
# engine's std::thread needs). QUORALIS_WINDOWS_PREFIX names the folder where scripts/setup-windows
# put the static libdeflate and libzip built for Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_host}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_host}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_host} ${QUORALIS_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows programs run here under Wine: CTest starts every test program through it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
