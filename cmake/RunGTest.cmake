# Runs one GoogleTest executable through an emulator (Wine) and passes only when it exits with 0
# AND reports that it ran and passed at least one test. A filter or a build option that leaves
# an executable without tests exits 0 too, and must not look like success.
#
#   cmake -DEMULATOR=<wine> -DEXECUTABLE=<file.exe> [-DTIMEOUT=<seconds>] -P RunGTest.cmake
if(NOT EXECUTABLE)
  message(FATAL_ERROR "EXECUTABLE not set")
endif()
if(NOT TIMEOUT)
  set(TIMEOUT 280)
endif()

execute_process(
  COMMAND ${EMULATOR} ${EXECUTABLE} --gtest_color=no
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  TIMEOUT ${TIMEOUT})
message(NOTICE "${output}")

if(NOT status STREQUAL "0")
  if(status STREQUAL "53")
    message(FATAL_ERROR "exit code 53: Wine could not load a DLL the program needs (link statically)")
  endif()
  message(FATAL_ERROR "${EXECUTABLE} ended with ${status}")
endif()
if(NOT output MATCHES "\\[==========\\] ([0-9]+) tests? from [0-9]+ test suites? ran")
  message(FATAL_ERROR "${EXECUTABLE} printed no test summary")
endif()
set(ran ${CMAKE_MATCH_1})
if(ran EQUAL 0)
  message(FATAL_ERROR "${EXECUTABLE} ran no tests")
endif()
set(skipped 0)
if(output MATCHES "\\[  SKIPPED \\] ([0-9]+) tests?,")
  set(skipped ${CMAKE_MATCH_1})
endif()
if(NOT output MATCHES "\\[  PASSED  \\] ([0-9]+) tests?\\.")
  message(FATAL_ERROR "${EXECUTABLE} reported no passed tests")
endif()
math(EXPR accounted "${CMAKE_MATCH_1} + ${skipped}")
if(NOT accounted EQUAL ran)
  message(FATAL_ERROR "${EXECUTABLE} did not pass all of its ${ran} tests")
endif()
if(output MATCHES "\\[  FAILED  \\]")
  message(FATAL_ERROR "${EXECUTABLE} reported failed tests")
endif()
