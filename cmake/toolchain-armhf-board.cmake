# Cross build for boards whose system is older than this machine's: the deliverables are built
# against a board's own root (GRSHM_BOARD_ROOT; scripts/sysroot.sh armhf makes a Debian 11 one,
# glibc 2.31) with its headers, start files and libraries, so that they need nothing newer than
# it holds. The tests keep this machine's armhf libraries (CMakeLists.txt tells which is which).
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-armhf.cmake)

if(NOT GRSHM_BOARD_ROOT)
  if(DEFINED ENV{GRSHM_BOARD_ROOT})
    set(GRSHM_BOARD_ROOT $ENV{GRSHM_BOARD_ROOT})
  else()
    set(GRSHM_BOARD_ROOT /var/cache/grshm/bullseye-armhf)
  endif()
endif()
if(NOT EXISTS ${GRSHM_BOARD_ROOT}/usr/include/stdio.h)
  message(FATAL_ERROR "no board root at ${GRSHM_BOARD_ROOT}: make one with scripts/sysroot.sh armhf "
                      "or name one with -DGRSHM_BOARD_ROOT=...")
endif()
set(GRSHM_BOARD_ROOT ${GRSHM_BOARD_ROOT} CACHE PATH "Root of the board's system the deliverables are built against")
# Try-compiles see the same root.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GRSHM_BOARD_ROOT)
# The board's json-c, not this machine's.
set(json-c_DIR ${GRSHM_BOARD_ROOT}/usr/lib/arm-linux-gnueabihf/cmake/json-c CACHE PATH "json-c of the board's root")
# The board's SQLite too.
set(SQLite3_INCLUDE_DIR ${GRSHM_BOARD_ROOT}/usr/include CACHE PATH "SQLite of the board's root")
set(SQLite3_LIBRARY ${GRSHM_BOARD_ROOT}/usr/lib/arm-linux-gnueabihf/libsqlite3.so CACHE FILEPATH "SQLite of the board's root")
