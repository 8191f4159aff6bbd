# The portable core as a 32-bit x86 Linux program (g++ -m32, Debian's g++-multilib), linked
# statically so qemu-i386 runs it on a 64-bit kernel that cannot execute 32-bit code itself.
# The release is 32-bit Windows: this build checks the core under the same sizes of long and
# pointers, and 32-bit file offsets.
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
