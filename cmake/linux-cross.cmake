# Cross-builds for another Linux processor with Debian's cross compiler for
# ostrel_cross_triplet, and runs the programs under qemu-user (package
# qemu-user), qemu-${ostrel_cross_qemu}, with the cross sysroot, so that
# dynamically linked programs find their loader and libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${ostrel_cross_processor})
set(CMAKE_C_COMPILER ${ostrel_cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${ostrel_cross_triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${ostrel_cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(NOT ostrel_cross_qemu)
  set(ostrel_cross_qemu ${ostrel_cross_processor})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${ostrel_cross_qemu} -L /usr/${ostrel_cross_triplet})
