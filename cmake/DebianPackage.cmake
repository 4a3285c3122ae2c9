# "cpack -G DEB" in a build folder makes a Debian package of what
# "cmake --install" installs, below /usr. Its dependencies are found from the
# libraries the programs link (dpkg-shlibdeps of dpkg-dev); what the programs
# only use at run time is recommended.
#
# librpm and libalpm are not linked but loaded when an rpm or pacman database
# is first found (packages/SharedLibrary.h): a Debian host, where every run
# finds dpkg's alone, does not pay for loading them and the dozens of
# libraries they bring. They are recommended, so that apt installs them and
# "quorvane-report --root" reads a Fedora or Arch image from a Debian host;
# without them such a database is named as unreadable, never taken for one
# without the file.
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane Software")
set(CPACK_PACKAGE_CONTACT "Quorvane Software <info@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "running processes as a tree, rated by their program files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION [[
Quorvane shows the running processes as a tree by starting process and rates
each one by what its program file says about who made it: the version data of
a Windows executable, or the package (dpkg, rpm, pacman or apk) that installed
the file. A detail
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
# ICU names the languages of version resources. The programs load it when
# first needed, so no link of theirs names it for the dependencies above.
find_package(ICU REQUIRED COMPONENTS uc)
string(REGEX MATCH "^[0-9]+" QuorvaneIcuMajor "${ICU_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libicu${QuorvaneIcuMajor}")
# Qt's German dialog texts, the desktop's URL opener for the web and exit
# pages, a font for machines that have none yet, and the libraries that read
# rpm and pacman databases.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils, fonts-dejavu-core, librpm9, libalpm13")
include(CPack)
