# Shared by the mingw-w64 toolchain files; MINGW_TRIPLE and WINE_LOADER_NAME are set
# by the including file. Tests run under Wine as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)

find_program(_cxx ${MINGW_TRIPLE}-g++-posix)
find_program(_cc ${MINGW_TRIPLE}-gcc-posix)
find_program(_rc ${MINGW_TRIPLE}-windres)
if(NOT _cxx OR NOT _cc OR NOT _rc)
    message(FATAL_ERROR "${MINGW_TRIPLE} posix compilers or windres not found: run scripts/setup")
endif()
set(CMAKE_C_COMPILER ${_cc})
set(CMAKE_CXX_COMPILER ${_cxx})
set(CMAKE_RC_COMPILER ${_rc})
find_program(DLLTOOL ${MINGW_TRIPLE}-dlltool REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The loader of the matching width, not the wine script, which prefers the
# 32-bit loader whenever it is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/${WINE_LOADER_NAME})
