# Cross-compiles the Windows programs on Linux with mingw-w64 (the -posix compilers, whose
# std::thread and std::mutex the core needs) and runs the tests through wine:
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Debian: g++-mingw-w64-x86-64-posix and wine (scripts/setup-windows.sh installs them).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DORAVINE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DORAVINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORAVINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DORAVINE_MINGW_TRIPLE}-windres)

# Headers, libraries and CMake packages come from the mingw tree only, never from the host's
# (the host's Qt or GoogleTest would be found and fail to link); programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${DORAVINE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime (libgcc, libstdc++, winpthread): the programs run without any DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest and try_run start the programs through wine. WINEPREFIX picks the wine folder
# (default ~/.wine); WINEDEBUG=-all keeps wine's own diagnostics out of the tests' output.
find_program(DORAVINE_WINE NAMES wine wine64)
if(DORAVINE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DORAVINE_WINE})
endif()
