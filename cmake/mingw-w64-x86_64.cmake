# Cross-building the Windows x64 program on Debian with MinGW-w64 (posix
# threads, the flavour the Windows Qt is built with).
#   -DYANZHOU_MINGW_PREFIX=<dir>  the Windows Qt and SQLite: <dir>/qt6,
#                                 <dir>/include/sqlite3.h, <dir>/lib/libsqlite3.a
#   -DQT_HOST_PATH=/usr           the host's Qt tools (moc, rcc, uic)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(YZ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${YZ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${YZ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${YZ_MINGW_TRIPLE}-windres)

# The try_compile projects CMake makes see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES YANZHOU_MINGW_PREFIX)
if(NOT YANZHOU_MINGW_PREFIX)
  message(FATAL_ERROR "Set YANZHOU_MINGW_PREFIX to the folder that holds the Windows Qt (qt6/) and SQLite")
endif()

# Libraries and headers come only from the Windows side; programs run during
# the build come from the host.
set(CMAKE_FIND_ROOT_PATH ${YANZHOU_MINGW_PREFIX}/qt6 ${YANZHOU_MINGW_PREFIX} /usr/${YZ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH /)
set(SQLite3_INCLUDE_DIR ${YANZHOU_MINGW_PREFIX}/include CACHE PATH "")
set(SQLite3_LIBRARY ${YANZHOU_MINGW_PREFIX}/lib/libsqlite3.a CACHE FILEPATH "")

# Windows programs of the build (the build-time tool, the tests) run under
# Wine, with a prefix of the build's own and Qt's and the compiler's
# libraries on Windows' search path.
set(YZ_WINDOWS_DLL_DIRS ${YANZHOU_MINGW_PREFIX}/qt6/bin)
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(dir "${found}" DIRECTORY)
  get_filename_component(dir "${dir}" ABSOLUTE)
  list(APPEND YZ_WINDOWS_DLL_DIRS ${dir})
endforeach()
list(JOIN YZ_WINDOWS_DLL_DIRS ":" YZ_WINDOWS_DLL_PATH)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run.sh --prefix
    ${CMAKE_BINARY_DIR}/wine --dlls ${YZ_WINDOWS_DLL_PATH})
