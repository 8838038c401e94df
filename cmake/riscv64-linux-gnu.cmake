# Linux on 64-bit RISC-V (Debian riscv64): Debian's g++-riscv64-linux-gnu,
# tested under qemu-riscv64.
set(ostrel_cross_triplet riscv64-linux-gnu)
set(ostrel_cross_processor riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
