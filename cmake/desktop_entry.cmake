# Writes the desktop entry at install time, when the prefix is known, so that
# Exec names the launcher where it was really installed. Run from install(CODE).
set(launcher "${CMAKE_INSTALL_PREFIX}/bin/yanzhou")
if(launcher MATCHES "[ \t\"'\\\\$`]")
  string(REGEX REPLACE "([\"\\\\$`])" "\\\\\\1" launcher "${launcher}")
  set(launcher "\"${launcher}\"")
endif()
set(YZ_LAUNCHER "${launcher}")
configure_file("${YZ_DESKTOP_IN}" "${YZ_DESKTOP_OUT}" @ONLY)
file(INSTALL "${YZ_DESKTOP_OUT}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
