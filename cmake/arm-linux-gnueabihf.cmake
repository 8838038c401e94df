# 32-bit Linux on ARM with hardware floating point (Debian armhf, 32-bit
# Raspberry Pi systems): Debian's g++-arm-linux-gnueabihf, tested under qemu-arm.
set(ostrel_cross_triplet arm-linux-gnueabihf)
set(ostrel_cross_processor arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
