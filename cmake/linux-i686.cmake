# The Linux program for the boards' own PCs: 32-bit x86 of their era (Pentium II and III, Athlon),
# so i686 with no SSE or SSE2, built by Debian's multilib compiler (gcc -m32, from g++-multilib)
# against its 32-bit C library and ncurses (libc6-dev-i386, lib32ncurses-dev). Other 32-bit
# libraries come from Debian's i386 architecture (multiarch), which gcc -m32 also searches.
# Used with CONFIGURATOR_STATIC (preset linux-i686): one statically linked program.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Named, not left to the compiler's default: no instruction past the Pentium Pro's, x87 floating
# point.
set(CMAKE_C_FLAGS_INIT "-m32 -march=i686 -mtune=generic -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-m32 -march=i686 -mtune=generic -mfpmath=387")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# pkg-config answers for the 32-bit libraries, never the 64-bit ones.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/lib32/pkgconfig:/usr/share/pkgconfig)
