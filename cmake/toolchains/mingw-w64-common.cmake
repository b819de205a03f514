# What both MinGW-w64 toolchains share; each sets TOOLCHAIN_PREFIX and includes this file.
set(CMAKE_SYSTEM_NAME Windows)
# The POSIX-threads variant: its C++ runtime has std::mutex, which GoogleTest needs on Windows.
# Everything is linked statically, so the threads runtime adds no DLL to the plug-in's imports.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
