# What `cmake --install` puts under the prefix, and the Debian package made
# from it by `cpack -G DEB`:
#   lib/yanzhou/                 the program directory: the binary, 空数据库.mdb,
#                                默认.jpg, skin/ and data/ with the sample novel
#   bin/yanzhou                  a link to the binary
#   share/applications/          the desktop entry
#   share/icons/hicolor/         the icon, as SVG and as PNG in the usual sizes
#   share/metainfo/              the AppStream description
set(YZ_APP_ID org.example.yanzhou)
set(YZ_PROGRAM_DEST lib/yanzhou)
set(YZ_DESKTOP_RES ${CMAKE_SOURCE_DIR}/resources/desktop)

install(TARGETS yanzhou RUNTIME DESTINATION ${YZ_PROGRAM_DEST})
install(FILES ${YZ_DIST}/空数据库.mdb ${YZ_DIST}/默认.jpg DESTINATION ${YZ_PROGRAM_DEST})
install(DIRECTORY ${YZ_RES}/skin DESTINATION ${YZ_PROGRAM_DEST})
install(FILES ${YZ_DIST}/data/夜航船.mdb DESTINATION ${YZ_PROGRAM_DEST}/data)

# A relative link, so that the program finds its directory wherever the
# prefix is and whatever DESTDIR the package is staged in.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ../${YZ_PROGRAM_DEST}/yanzhou ${CMAKE_BINARY_DIR}/launcher/yanzhou SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/launcher/yanzhou DESTINATION bin)

install(CODE "
  set(YZ_DESKTOP_IN \"${YZ_DESKTOP_RES}/${YZ_APP_ID}.desktop.in\")
  set(YZ_DESKTOP_DIR \"${CMAKE_BINARY_DIR}/launcher\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/desktop_entry.cmake\")")
install(FILES ${YZ_DESKTOP_RES}/${YZ_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# The PNG icons are drawn from the committed SVG at build time.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(YZ_ICON_SIZES 16 24 32 48 64 128 256)
set(YZ_ICON_PNGS)
foreach(size ${YZ_ICON_SIZES})
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${YZ_APP_ID}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${YZ_DESKTOP_RES}/${YZ_APP_ID}.svg
    DEPENDS ${YZ_DESKTOP_RES}/${YZ_APP_ID}.svg
    COMMENT "Drawing the ${size}x${size} icon")
  list(APPEND YZ_ICON_PNGS ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(icons ALL DEPENDS ${YZ_ICON_PNGS})
install(FILES ${YZ_DESKTOP_RES}/${YZ_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME yanzhou)
set(CPACK_PACKAGE_VENDOR "砚舟写作系统")
set(CPACK_PACKAGE_CONTACT "bugs@yanzhou.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "砚舟写作系统：长篇连载小说的写作工具")
set(CPACK_PACKAGE_DESCRIPTION "书库列出每部小说及其封面；一部小说分成分卷和章节；章节编辑器随写随存。")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "砚舟写作系统 <bugs@yanzhou.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the binary links, SQLite among them, come from the binary itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Chinese input through fcitx5, Qt's own dialogs in Chinese, and a Chinese font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fcitx5-frontend-qt6, qt6-translations-l10n, fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
