# Linux on arm64: Debian's g++-aarch64-linux-gnu, tested under qemu-aarch64.
set(ostrel_cross_triplet aarch64-linux-gnu)
set(ostrel_cross_processor aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
