# Linux on s390x, a big-endian machine: Debian's g++-s390x-linux-gnu, tested
# under qemu-s390x. It proves that stacks are read little-endian whatever
# the processor's byte order.
set(ostrel_cross_triplet s390x-linux-gnu)
set(ostrel_cross_processor s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
