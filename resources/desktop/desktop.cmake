# Reel as an installed desktop application: the binary, its desktop entry,
# icon, AppStream metainfo and man page; and a Debian package of them.
include(GNUInstallDirs)
# Installing and packaging take what was built: they never start a build of their own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(REEL_APP_ID org.reelplayer.Reel)
set(REEL_DESKTOP_DIR ${CMAKE_CURRENT_LIST_DIR})

# The icon is drawn once as SVG; the sizes a desktop asks for are rendered when building.
set(REEL_ICON_SIZES 16 24 32 48 64 128 256)
set(REEL_ICON_SVG ${REEL_DESKTOP_DIR}/${REEL_APP_ID}.svg)
set(REEL_ICON_FILES)
foreach(size IN LISTS REEL_ICON_SIZES)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons
    COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} -o ${png} ${REEL_ICON_SVG}
    DEPENDS ${REEL_ICON_SVG} VERBATIM)
  list(APPEND REEL_ICON_FILES ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${REEL_APP_ID}.png)
endforeach()
# The windows carry the icon themselves where no theme has it.
qt_add_resources(reelcore "icons" PREFIX "/icons" BASE ${CMAKE_CURRENT_BINARY_DIR}/icons
  FILES ${REEL_ICON_FILES})

install(TARGETS reel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS reel-player LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/reel)
# Where the command finds the player once installed, from its own folder.
file(RELATIVE_PATH REEL_PLAYER_LIBRARY_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/reel)
target_compile_definitions(reel PRIVATE REEL_PLAYER_LIBRARY_FROM_BINDIR="${REEL_PLAYER_LIBRARY_FROM_BINDIR}")
install(FILES ${REEL_DESKTOP_DIR}/${REEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${REEL_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${REEL_DESKTOP_DIR}/${REEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${REEL_DESKTOP_DIR}/reel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB: reel_VERSION_ARCH.deb, its library dependencies read off the binary.
set(CPACK_PACKAGE_NAME reel)
set(CPACK_PACKAGE_VENDOR "Reel")
set(CPACK_PACKAGE_CONTACT "Reel developers <reel@reelplayer.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "movie player built around a playlist")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Reel plays MPEG, VOB, AVI, QuickTime, MP4 and DV movies from a playlist that\n"
  "describes each file: picture size and aspect, frame rate, PAL or NTSC, codecs\n"
  "and length. One player per session takes the files opened from the file manager.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugins at run time, so no library names them:
# X11 (and XWayland) needs qt6-qpa-plugins; Wayland itself, qt6-wayland; OpenGL a Mesa driver.
# The history database is opened through Qt SQL's SQLite driver, a plugin too.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
include(CPack)
