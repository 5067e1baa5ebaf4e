# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh). Dependencies come
# from the binaries (dpkg-shlibdeps); the binaries are stripped as Debian wants them.
set(DORAVINE_MAINTAINER "Kestrelia <doravine@kestrelia.com>" CACHE STRING "The package's maintainer")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME doravine)
set(CPACK_PACKAGE_VENDOR Kestrelia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DORAVINE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and diagnose an LPG ignition advance controller")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DORAVINE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins (xcb, wayland, offscreen) at run time: no binary links them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack puts the summary first as the synopsis; this is the long description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Doravine talks to the ignition-timing-advance controller of an engine's LPG
installation over a serial cable (38400 baud). It finds the controller by
itself, shows the live readings, edits the advance map and its axes, sets the
crank sensor and detects the trigger wheel, keeps settings in files, reads and
clears the controller's errors, captures and analyses the crank signal and
reprograms the firmware.
.
The package holds the window (doravine), a command-line tool for scripts
(doravine-cli) and a virtual controller to try everything without a car
(doravine-sim), with sample signals, manual pages and a user guide.
.
To open a serial port the user must be in the dialout group:
sudo adduser $USER dialout, then log out and in again.")

include(CPack)
