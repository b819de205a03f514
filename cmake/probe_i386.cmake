# Decides whether this machine runs i386 programs, with the project's one probe
# (scripts/i386-probe: compiles and runs a trivial -m32 program; SCORIX_FORCE_NO_I386=1 answers
# no on any machine). scripts/test asks it once and passes the answer in, so a configure asks
# only when run by hand.
execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/i386-probe
                OUTPUT_VARIABLE _probe_answer OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE _probe_status)
if(_probe_status EQUAL 0 AND _probe_answer STREQUAL "native")
  set(_runs TRUE)
else()
  set(_runs FALSE)
endif()
set(SCORIX_I386_NATIVE ${_runs} CACHE BOOL "This machine runs i386 programs natively")
message(STATUS "i386 programs run natively: ${SCORIX_I386_NATIVE}")
