# The Linux program for the boards' own PCs: 32-bit x86 of their era (Pentium II and III, Athlon),
# so i686 with no SSE or SSE2, built by Debian's multilib compiler (gcc -m32, from g++-multilib)
# against the libraries of Debian's i386 architecture (multiarch: libncurses-dev:i386, ...),
# which gcc -m32 searches first. Not lib32ncurses-dev: its static libtinfo.a is built without
# the extended colours that its libncursesw.a expects, and newterm crashes in that pair.
# Used with CONFIGURATOR_STATIC (preset linux-i686): one statically linked program.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Named, not left to the compiler's default: no instruction past the Pentium Pro's, x87 floating
# point. 64-bit file offsets and inode numbers: without them stat and readdir fail (EOVERFLOW) on
# file systems whose inode numbers pass 32 bits, and files past 2 GiB cannot be read.
set(CMAKE_C_FLAGS_INIT "-m32 -march=i686 -mtune=generic -mfpmath=387 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -march=i686 -mtune=generic -mfpmath=387 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Before /usr/lib32, which CMake also searches for a 32-bit build.
set(CMAKE_LIBRARY_PATH /usr/lib/i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# pkg-config answers for the 32-bit libraries, never the 64-bit ones.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/lib32/pkgconfig:/usr/share/pkgconfig)
