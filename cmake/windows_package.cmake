# The Windows program folder, laid out the way it runs: the program and the
# files it expects beside it (as on every system), Qt's libraries and plugins,
# the compiler's runtime, and qt.conf that tells Qt to look in the folder.
# `cmake --install` puts it under the prefix; scripts/windows/build.sh zips it
# and wraps it in the installer.
set(YZ_WIN_RES ${CMAKE_SOURCE_DIR}/resources/windows)
set(YZ_DESKTOP_RES ${CMAKE_SOURCE_DIR}/resources/desktop)

# The icon, drawn from the same SVG as on the desktop.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)
set(YZ_ICON_PNGS)
foreach(size 16 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${YZ_DESKTOP_RES}/org.example.yanzhou.svg
    DEPENDS ${YZ_DESKTOP_RES}/org.example.yanzhou.svg)
  list(APPEND YZ_ICON_PNGS ${png})
endforeach()
set(YZ_ICO ${CMAKE_BINARY_DIR}/icons/yanzhou.ico)
# The largest size stays PNG inside the icon, as Windows expects.
list(GET YZ_ICON_PNGS -1 YZ_ICON_LARGEST)
set(YZ_ICON_SMALL ${YZ_ICON_PNGS})
list(REMOVE_AT YZ_ICON_SMALL -1)
add_custom_command(
  OUTPUT ${YZ_ICO}
  COMMAND ${ICOTOOL} -c -o ${YZ_ICO} ${YZ_ICON_SMALL} -r ${YZ_ICON_LARGEST}
  DEPENDS ${YZ_ICON_PNGS})

string(REPLACE "." "," YZ_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
configure_file(${YZ_WIN_RES}/yanzhou.rc.in ${CMAKE_BINARY_DIR}/yanzhou.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/yanzhou.rc PROPERTIES OBJECT_DEPENDS ${YZ_ICO})
target_sources(yanzhou PRIVATE ${CMAKE_BINARY_DIR}/yanzhou.rc)
# A window program: no console window opens beside it.
set_target_properties(yanzhou PROPERTIES WIN32_EXECUTABLE ON)

# What the folder holds besides Qt.
install(TARGETS yanzhou RUNTIME DESTINATION .)
install(FILES ${YZ_DIST}/空数据库.mdb ${YZ_DIST}/默认.jpg ${YZ_WIN_RES}/qt.conf DESTINATION .)
install(DIRECTORY ${YZ_RES}/skin DESTINATION .)
install(FILES ${YZ_DIST}/data/夜航船.mdb DESTINATION data)

# Qt: the libraries the program links, and the plugins it loads by name.
get_target_property(YZ_QT_CORE_DLL Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(YZ_QT_BIN ${YZ_QT_CORE_DLL} DIRECTORY)
get_filename_component(YZ_QT_PLUGINS ${YZ_QT_BIN}/../plugins ABSOLUTE)
set(YZ_QT_DLLS Core Gui Widgets Network)
set(YZ_QT_PLUGIN_FILES platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qjpeg.dll)
foreach(lib ${YZ_QT_DLLS})
  install(FILES ${YZ_QT_BIN}/Qt6${lib}.dll DESTINATION .)
endforeach()
foreach(plugin ${YZ_QT_PLUGIN_FILES})
  get_filename_component(dir ${plugin} DIRECTORY)
  install(FILES ${YZ_QT_PLUGINS}/${plugin} DESTINATION ${dir})
endforeach()
# Qt's own buttons and dialogs in Chinese: the translation files are the
# same on every system.
find_file(YZ_QTBASE_ZH qtbase_zh_CN.qm PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH)
if(YZ_QTBASE_ZH)
  install(FILES ${YZ_QTBASE_ZH} DESTINATION translations)
endif()

# The compiler's runtime, from the MinGW-w64 toolchain itself.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}")
    message(FATAL_ERROR "The MinGW-w64 runtime ${dll} was not found")
  endif()
  install(FILES ${found} DESTINATION .)
  get_filename_component(dir ${found} DIRECTORY)
  list(APPEND YZ_WINDOWS_DLL_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES YZ_WINDOWS_DLL_DIRS)
