# How the tests of a 32-bit Linux build run. Some x86-64 kernels cannot
# execute 32-bit programs at all; there the tests go through user-mode
# emulation (qemu-i386), for gtest discovery and ctest alike, so that the
# 32-bit code is still really run. TPC_EMULATE_32:
#   AUTO  probe once, with a tiny program built with this build's flags
#   ON    always emulate (to exercise this path where 32-bit code runs)
#   OFF   never emulate (a kernel without 32-bit support then fails the tests)
# Writes build/<preset>/tests_32bit.txt, the line `make test` prints after
# the run.
set(TPC_EMULATE_32 AUTO CACHE STRING "Run 32-bit Linux tests under qemu-i386: AUTO, ON or OFF")
set_property(CACHE TPC_EMULATE_32 PROPERTY STRINGS AUTO ON OFF)

if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT WIN32)
  set(emulate OFF)
  if(TPC_EMULATE_32 STREQUAL "ON")
    set(emulate ON)
    set(reason "TPC_EMULATE_32=ON")
  elseif(TPC_EMULATE_32 STREQUAL "AUTO")
    set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/probe_32bit.c)
    file(WRITE ${probe} "int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n")
    # The result is cached: the kernel is asked once per build tree.
    try_run(TPC_PROBE_32_RUN TPC_PROBE_32_COMPILE ${CMAKE_BINARY_DIR}/CMakeFiles/probe_32bit ${probe})
    if(NOT TPC_PROBE_32_COMPILE)
      message(FATAL_ERROR "Cannot build a 32-bit program: install g++-multilib (scripts/setup.sh test does)")
    endif()
    if(NOT TPC_PROBE_32_RUN STREQUAL "0")
      set(emulate ON)
      set(reason "this kernel cannot execute 32-bit programs")
    endif()
  endif()
  if(emulate)
    find_program(TPC_QEMU_I386 qemu-i386)
    if(NOT TPC_QEMU_I386)
      message(FATAL_ERROR "32-bit tests need qemu-i386 here (${reason}): install qemu-user "
                          "(scripts/setup.sh test does)")
    endif()
    # -L /: the multilib loader and libraries of this system; -E tells the
    # tests that they run emulated (the heaviest randomized ones draw fewer cases).
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TPC_QEMU_I386} -L / -E TPC_TEST_EMULATED=1)
    set(how "under qemu-i386 user-mode emulation (${reason}); randomized tests ran reduced counts")
  else()
    set(how "natively")
  endif()
  message(STATUS "32-bit tests run ${how}")
  file(WRITE ${CMAKE_BINARY_DIR}/tests_32bit.txt "32-bit tests: ran ${how}\n")
endif()
