# Writes the desktop entry at install time, when the prefix is known, so that
# Exec names the launcher where it was really installed. Run from install(CODE).
set(launcher "${CMAKE_INSTALL_PREFIX}/bin/yanzhou")
if(launcher MATCHES "[ \t\"'\\\\$`]")
  string(REGEX REPLACE "([\"\\\\$`])" "\\\\\\1" launcher "${launcher}")
  set(launcher "\"${launcher}\"")
endif()
set(YZ_LAUNCHER "${launcher}")
# One file per prefix: installs to two prefixes at once must not share it.
string(MD5 prefix_hash "${CMAKE_INSTALL_PREFIX}")
get_filename_component(name "${YZ_DESKTOP_IN}" NAME_WLE)
set(entry "${YZ_DESKTOP_DIR}/${prefix_hash}/${name}")
configure_file("${YZ_DESKTOP_IN}" "${entry}" @ONLY)
file(INSTALL "${entry}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
