# Linux on POWER, little-endian (Debian ppc64el): Debian's
# g++-powerpc64le-linux-gnu, tested under qemu-ppc64le.
set(ostrel_cross_triplet powerpc64le-linux-gnu)
set(ostrel_cross_processor ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
