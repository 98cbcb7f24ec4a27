# What `cmake --install` puts in place (DESTDIR and CMAKE_INSTALL_PREFIX as usual), in two components:
# "console" is the program a server needs, "gui" the windows and what the desktop shows of them.
set(KESTRUN_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrun")

install(TARGETS kestrun kestrun-tree RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT console)
install(FILES data/man/kestrun.1 data/man/kestrun-tree.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT console)
install(FILES data/examples/kestrun.service data/examples/kestrun.timer data/examples/kestrun.cron
        DESTINATION ${KESTRUN_INSTALL_DOCDIR}/examples COMPONENT console)
# Under Debian's name for it, in each package's documentation folder.
install(FILES LICENSE DESTINATION ${KESTRUN_INSTALL_DOCDIR} RENAME copyright COMPONENT console)

if(KESTRUN_WITH_QT)
  install(TARGETS kestrun-gui LIBRARY DESTINATION ${KESTRUN_INSTALL_MODULEDIR} COMPONENT gui)
  install(FILES data/kestrun.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT gui)
  install(FILES data/icons/kestrun.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps
          COMPONENT gui)
  # Made from the SVG by the target below, and kept in the repository so a build needs no SVG renderer.
  install(FILES data/icons/kestrun.png DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/48x48/apps
          COMPONENT gui)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrun-gui RENAME copyright
          COMPONENT gui)
else()
  install(CODE "message(STATUS \"Built without windows (KESTRUN_WITH_QT=OFF): no window module, desktop entry or icons to install\")"
          COMPONENT console)
endif()

# Makes the 48 x 48 icon again after a change to the drawing (rsvg-convert from librsvg2-bin).
add_custom_target(icon-png
  COMMAND rsvg-convert -w 48 -h 48 ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/kestrun.svg
          -o ${CMAKE_CURRENT_SOURCE_DIR}/data/icons/kestrun.png
  VERBATIM)
