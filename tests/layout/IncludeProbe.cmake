# Compiles one file holding `#include "HEADER"` with the flags a source of ROOM gets
# (ROOM_FLAGS, written at generate time) and checks the outcome: EXPECT is "seen"
# (it compiles) or "refused" (the compiler does not find the header).
#
#   cmake -DCOMPILER=... -DROOM_FLAGS=... -DHEADER=... -DEXPECT=seen|refused -DWORK=... -P IncludeProbe.cmake
include(${ROOM_FLAGS})

string(MAKE_C_IDENTIFIER "${HEADER}" stem)
set(probe ${WORK}/${ROOM}_${stem}.cpp)
file(WRITE ${probe} "#include \"${HEADER}\"\n")

set(args ${std} ${pic})
foreach(dir IN LISTS includes)
  list(APPEND args -I${dir})
endforeach()
foreach(definition IN LISTS definitions)
  list(APPEND args -D${definition})
endforeach()
list(APPEND args ${options})

execute_process(COMMAND ${COMPILER} ${args} -fsyntax-only ${probe}
  RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)

if(EXPECT STREQUAL "seen")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ROOM} should see \"${HEADER}\" but does not:\n${errors}")
  endif()
elseif(EXPECT STREQUAL "refused")
  string(FIND "${errors}" "${HEADER}: No such file or directory" refused)
  if(status EQUAL 0 OR refused EQUAL -1)
    message(FATAL_ERROR "${ROOM} should not see \"${HEADER}\" (status ${status}):\n${errors}")
  endif()
else()
  message(FATAL_ERROR "EXPECT is seen or refused, not \"${EXPECT}\"")
endif()
