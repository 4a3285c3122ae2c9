# "cpack -G DEB" in a build folder makes a Debian package of what
# "cmake --install" installs, below /usr. Its dependencies are found from the
# libraries the programs link (dpkg-shlibdeps of dpkg-dev); what the programs
# only use at run time is recommended.
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane Software")
set(CPACK_PACKAGE_CONTACT "Quorvane Software <info@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "running processes as a tree, rated by their program files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION [[
Quorvane shows the running processes as a tree by starting process and rates
each one by what its program file says about who made it: the version data of
a Windows executable, or the Debian package that installed the file. A detail
sheet explains every field; the whole list can be saved as a tab-separated
report, also without a window by quorvane-report.
.
Quorvane is an aid for looking at one's own system, not a virus scanner.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quorvane.example/produkte)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's German dialog texts, the desktop's URL opener for the web and exit
# pages, and a font for machines that have none yet.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, fonts-dejavu-core")
include(CPack)
