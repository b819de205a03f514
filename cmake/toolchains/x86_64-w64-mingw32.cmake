# Cross-compiles the plug-in and the Windows host program for 64-bit Windows with MinGW-w64. Not a
# shipped product: a test vehicle that runs the Windows code paths (binding by name, real message
# boxes and their hook) under 64-bit Wine on machines that cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Tests built for 64-bit Windows run under 64-bit Wine.
find_program(SCORIX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(SCORIX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SCORIX_WINE64})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR wine64)
endif()
