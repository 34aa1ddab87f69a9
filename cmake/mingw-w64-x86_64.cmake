# Cross-building for 64-bit Windows with MinGW-w64 from Linux:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KIRO_MINGW_PREFIX x86_64-w64-mingw32)

# The variant of the compiler with Windows threads where installed (the
# programs start no threads), else the default one.
find_program(KIRO_MINGW_CXX NAMES ${KIRO_MINGW_PREFIX}-g++-win32 ${KIRO_MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_CXX_COMPILER ${KIRO_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KIRO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIRO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No DLL of the compiler beside the programs: its C++ and thread libraries
# are linked in. The main thread's stack is reserved at 16 MiB (Windows
# gives 1 MiB, Linux 8 MiB), so nested CALLs up to kiro's depth limit fit
# as they do on Linux; only the pages used are ever committed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--stack,16777216")

# GCC 12 warns of overlapping copies inside its own std::string code where
# there are none (a known false alarm of -Wrestrict).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
