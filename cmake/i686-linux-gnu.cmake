# 32-bit Linux on x86 (Debian i386): Debian's g++-i686-linux-gnu, tested
# under qemu-i386. Files over 2 GiB need 64-bit offsets here.
set(ostrel_cross_triplet i686-linux-gnu)
set(ostrel_cross_processor i686)
set(ostrel_cross_qemu i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
