# Debian packages: `cpack -G DEB` in the build folder gives kestrun (the console program, all a server
# needs, no Qt) and kestrun-gui (the windows, the desktop entry and the icons), their library
# dependencies found by dpkg-shlibdeps.
set(KESTRUN_PACKAGE_MAINTAINER "Kestrun maintainers <kestrun@localhost>" CACHE STRING
    "Maintainer named in the Debian packages")

set(CPACK_PACKAGE_NAME kestrun)
set(CPACK_PACKAGE_VENDOR "The Kestrun authors")
set(CPACK_PACKAGE_CONTACT "${KESTRUN_PACKAGE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_CONSOLE_PACKAGE_NAME kestrun)
# Each description: the summary line, then the long description.
set(CPACK_COMPONENT_CONSOLE_DESCRIPTION "keeps a folder supplied with the newest antivirus signature packages
One start is one update run: it fetches every signature package newer than the one recorded (over
FTP, or from a folder), records it and prunes the folder to the newest few. This package runs on
the console, from cron or a systemd timer, and needs no window libraries; kestrun-tree mirrors the
package folder to a share.")

if(KESTRUN_WITH_QT)
  set(CPACK_COMPONENTS_ALL console gui)
  set(CPACK_DEBIAN_CONSOLE_PACKAGE_SUGGESTS kestrun-gui)
  set(CPACK_DEBIAN_GUI_PACKAGE_NAME kestrun-gui)
  set(CPACK_DEBIAN_GUI_PACKAGE_SECTION x11)
  # The module takes the program's own functions from the program: only the same version fits.
  set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "kestrun (= ${PROJECT_VERSION})")
  set(CPACK_COMPONENT_GUI_DESCRIPTION "windows for kestrun
The log window of kestrun with its status and progress bars, the settings dialogs, the desktop
entry and the icon. Without this package kestrun runs on the console.")
else()
  set(CPACK_COMPONENTS_ALL console)
endif()

include(CPack)
