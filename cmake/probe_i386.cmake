# Decides whether this machine runs i386 programs: compiles and runs a trivial -m32 program.
# Some x86_64 kernels have no 32-bit support at all ("Exec format error"). The environment
# variable SCORIX_FORCE_NO_I386=1 answers no on any machine, so that path can be exercised.
set(_probe_source ${CMAKE_BINARY_DIR}/probe_i386/main.c)
file(WRITE ${_probe_source} "int main(void) { return sizeof(void*) == 4 ? 0 : 1; }\n")
if("$ENV{SCORIX_FORCE_NO_I386}" STREQUAL "1")
  set(_runs FALSE)
else()
  try_run(_run_result _compile_result ${CMAKE_BINARY_DIR}/probe_i386 ${_probe_source}
          COMPILE_DEFINITIONS -m32 LINK_OPTIONS -m32)
  if(_compile_result AND "${_run_result}" STREQUAL "0")
    set(_runs TRUE)
  else()
    set(_runs FALSE)
  endif()
endif()
set(SCORIX_I386_NATIVE ${_runs} CACHE BOOL "This machine runs i386 programs natively")
message(STATUS "i386 programs run natively: ${SCORIX_I386_NATIVE}")
