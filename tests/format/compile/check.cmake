# Compiles one snippet of formats.cpp: cmake -DCOMPILER=... -DINCLUDE=...
# -DSOURCE=... -DCHECK=name [-DREFUSAL=regex] -P check.cmake.  Without
# REFUSAL the snippet must compile without a warning; with it the compiler
# must refuse it with output that matches REFUSAL.
if(NOT REFUSAL)
  set(warnings -Wall -Wextra -Werror)
endif()
execute_process(
  COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${warnings} -I${INCLUDE} -DCHECK_${CHECK} ${SOURCE}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT REFUSAL)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CHECK}: refused, but must compile:\n${output}")
  endif()
elseif(status EQUAL 0)
  message(FATAL_ERROR "${CHECK}: compiled, but must be refused (${REFUSAL})")
elseif(NOT output MATCHES "${REFUSAL}")
  message(FATAL_ERROR "${CHECK}: refused without naming ${REFUSAL}:\n${output}")
endif()
