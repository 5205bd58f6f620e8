# Compiler and linker options that build against a board's root (GRSHM_BOARD_ROOT) instead of
# the cross compiler's own C library: its headers, start files (crt1.o & co.) and libraries come
# first; the compiler's own headers and runtime (libgcc, the static C++ runtime) stay.
set(board_arch ${CMAKE_LIBRARY_ARCHITECTURE})
get_directory_property(GRSHM_HOST_COMPILE_OPTIONS COMPILE_OPTIONS)
get_directory_property(GRSHM_HOST_LINK_OPTIONS LINK_OPTIONS)

# The root's C library version: no deliverable may need a newer one.
file(STRINGS ${GRSHM_BOARD_ROOT}/usr/include/features.h board_glibc REGEX "^#define[ \t]+__GLIBC(_MINOR)?__[ \t]")
string(REGEX REPLACE ".*__GLIBC__[ \t]+([0-9]+).*__GLIBC_MINOR__[ \t]+([0-9]+).*" "\\1.\\2" GRSHM_BOARD_GLIBC "${board_glibc}")

# The compiler's search list without the C library headers it brings (and /usr/include, and
# /usr/include/ARCH where this machine has that architecture's C library headers), then
# the root's. -nostdinc and the same order keep #include_next of the C++ headers working.
set(GRSHM_BOARD_COMPILE_OPTIONS --sysroot=${GRSHM_BOARD_ROOT})
foreach(lang C CXX)
  list(APPEND GRSHM_BOARD_COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:${lang}>:-nostdinc>)
  foreach(dir IN LISTS CMAKE_${lang}_IMPLICIT_INCLUDE_DIRECTORIES)
    if(NOT dir MATCHES "/${board_arch}/include$" AND NOT dir STREQUAL "/usr/include"
       AND NOT dir STREQUAL "/usr/include/${board_arch}")
      list(APPEND GRSHM_BOARD_COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:${lang}>:-isystem${dir}>)
    endif()
  endforeach()
  foreach(dir ${GRSHM_BOARD_ROOT}/usr/include/${board_arch} ${GRSHM_BOARD_ROOT}/usr/include)
    list(APPEND GRSHM_BOARD_COMPILE_OPTIONS $<$<COMPILE_LANGUAGE:${lang}>:-isystem${dir}>)
  endforeach()
endforeach()

# (The root's folders count as the system's: no RUNPATH into the root.)
list(APPEND CMAKE_C_IMPLICIT_LINK_DIRECTORIES ${GRSHM_BOARD_ROOT}/lib/${board_arch} ${GRSHM_BOARD_ROOT}/usr/lib/${board_arch})
list(APPEND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES ${GRSHM_BOARD_ROOT}/lib/${board_arch} ${GRSHM_BOARD_ROOT}/usr/lib/${board_arch})
set(GRSHM_BOARD_LINK_OPTIONS --sysroot=${GRSHM_BOARD_ROOT} -B${GRSHM_BOARD_ROOT}/usr/lib/${board_arch}/
  -L${GRSHM_BOARD_ROOT}/lib/${board_arch} -L${GRSHM_BOARD_ROOT}/usr/lib/${board_arch})

# json-c's and SQLite's headers come with the root's own (a directory of its own would come before the C++
# headers and break their #include_next).
foreach(library json-c::json-c SQLite::SQLite3)
  if(TARGET ${library})
    set_target_properties(${library} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "")
  endif()
endforeach()

# A program linked with the static C++ runtime gets what the runtime needs of the C library.
function(grshm_board_program target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/board_runtime.c)
endfunction()
# A tool whose C++ runtime parts start threads' bookkeeping (locales, streams) calls
# pthread_once, which lives in libpthread before glibc 2.34 (-pthread puts it after the
# runtime). The CGI programs do not: they load no library for it.
function(grshm_board_tool target)
  grshm_board_program(${target})
  target_link_options(${target} PRIVATE -pthread)
endfunction()

# The root's programs run under emulation with the root's loader and libraries; one word, as the
# tests and scripts take an emulator (GRSHM_TEST_EMULATOR).
set(GRSHM_BOARD_EMULATOR ${CMAKE_BINARY_DIR}/board-emulator)
file(CONFIGURE OUTPUT ${GRSHM_BOARD_EMULATOR}
  CONTENT "#!/bin/sh\nexec ${CMAKE_CROSSCOMPILING_EMULATOR} -L ${GRSHM_BOARD_ROOT} \"$@\"\n")
file(CHMOD ${GRSHM_BOARD_EMULATOR} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
