# Run by CTest: every test function of SUITE (its -functions list) is in
# one of the parts given in FUNCTIONS (separated by ;), so that none is
# left out of the run when a suite is split.
cmake_minimum_required(VERSION 3.19)
execute_process(COMMAND ${SUITE} -functions OUTPUT_VARIABLE listed RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${SUITE} -functions failed: ${status}")
endif()
string(REPLACE "()" "" listed "${listed}")
string(REGEX REPLACE "[\r\n]+" ";" listed "${listed}")
list(FILTER listed EXCLUDE REGEX "^$")
string(REPLACE "," ";" parts "${FUNCTIONS}")
foreach(function IN LISTS listed)
  if(NOT function IN_LIST parts)
    message(FATAL_ERROR "${function} is in no part of ${SUITE}")
  endif()
endforeach()
