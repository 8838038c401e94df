# Cross-builds with Zig's clang, which carries its own macOS and Windows SDK
# files, for OSTREL_ZIG_TARGET: aarch64-macos, x86_64-macos or
# aarch64-windows-gnu. The compiler is OSTREL_ZIG (or the environment's
# OSTREL_ZIG, or zig on the PATH); tools/fetch-zig.sh fetches the pinned one.
# Nothing built this way runs here: the suite is built, not run.
if(NOT OSTREL_ZIG)
  set(OSTREL_ZIG "$ENV{OSTREL_ZIG}")
endif()
if(NOT OSTREL_ZIG)
  find_program(OSTREL_ZIG zig REQUIRED)
endif()
if(NOT OSTREL_ZIG_TARGET)
  message(FATAL_ERROR "OSTREL_ZIG_TARGET: set it to the Zig target, e.g. aarch64-macos")
endif()
# The checks CMake compiles see the same compiler and target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OSTREL_ZIG OSTREL_ZIG_TARGET)

string(REGEX MATCH "^[^-]+" zig_processor "${OSTREL_ZIG_TARGET}")
if(OSTREL_ZIG_TARGET MATCHES "macos")
  set(CMAKE_SYSTEM_NAME Darwin)
  set(CMAKE_SYSTEM_PROCESSOR ${zig_processor})
elseif(OSTREL_ZIG_TARGET MATCHES "windows")
  set(CMAKE_SYSTEM_NAME Windows)
  set(CMAKE_SYSTEM_PROCESSOR ${zig_processor})
  # Debian's llvm-windres (package llvm), with Zig's Windows headers.
  find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 PATHS /usr/lib/llvm-14/bin REQUIRED)
  get_filename_component(zig_home "${OSTREL_ZIG}" DIRECTORY)
  set(CMAKE_RC_FLAGS_INIT "--target=${zig_processor}-w64-mingw32 -I ${zig_home}/lib/libc/include/any-windows-any")
else()
  message(FATAL_ERROR "OSTREL_ZIG_TARGET ${OSTREL_ZIG_TARGET}: only macOS and Windows targets are built with Zig")
endif()

set(CMAKE_C_COMPILER "${OSTREL_ZIG}" cc -target ${OSTREL_ZIG_TARGET})
set(CMAKE_CXX_COMPILER "${OSTREL_ZIG}" c++ -target ${OSTREL_ZIG_TARGET})
# ar and ranlib take no leading arguments in CMake: small scripts call Zig's.
foreach(tool ar ranlib)
  set(wrapper "${CMAKE_BINARY_DIR}/zig-${tool}")
  file(WRITE "${wrapper}" "#!/bin/sh\nexec \"${OSTREL_ZIG}\" ${tool} \"$@\"\n")
  file(CHMOD "${wrapper}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
       WORLD_EXECUTE)
endforeach()
set(CMAKE_AR "${CMAKE_BINARY_DIR}/zig-ar" CACHE FILEPATH "Zig's ar")
set(CMAKE_RANLIB "${CMAKE_BINARY_DIR}/zig-ranlib" CACHE FILEPATH "Zig's ranlib")
