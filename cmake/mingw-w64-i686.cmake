# Cross toolchain: MinGW-w64 for 32-bit x86 Windows, from Debian's g++-mingw-w64-i686.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
# The win32 thread model: its static runtime imports nothing that Windows 2000 or XP lacks. The
# posix model links winpthreads, which imports GetTickCount64 (Vista) even into a program without
# threads. The price is no std::thread or std::mutex, which nothing built here needs.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One static executable: no libstdc++ or libgcc DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under Wine (its 32-bit support runs them in a 64-bit prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
