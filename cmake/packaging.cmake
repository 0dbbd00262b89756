# Desktop identity and the Debian package: `cpack -G DEB` in a build directory makes
# zeze-gpi-programmer_<version>_<arch>.deb of everything the install() rules put under /usr.

# Names the menu entry, the icon and the AppStream component alike (dist/), and tells a Wayland
# compositor which menu entry the running window belongs to (app/main.cpp).
set(ZEZE_APP_ID org.zeze.GpiProgrammer)
# Where the project is published (GitHub owner/name): the package's homepage, and the screenshot a
# software centre shows is docs/main-window.png served raw from there.
set(ZEZE_REPOSITORY "zeze-gpi/zeze-gpi-programmer" CACHE STRING "GitHub owner/name the project is published under")
set(ZEZE_HOMEPAGE_URL "https://github.com/${ZEZE_REPOSITORY}")
set(ZEZE_SCREENSHOT_URL "https://raw.githubusercontent.com/${ZEZE_REPOSITORY}/main/docs/main-window.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zeze-gpi-programmer)
set(CPACK_PACKAGE_VENDOR "Zeze GPI Programmer maintainers")
set(CPACK_PACKAGE_CONTACT "Seed cef2bcdc maintainers <maintainers@users.noreply.c-seed-cef2bcdc.example>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program a Zeze network trigger box over TCP")
# Debian wraps nothing: the long description keeps lines under 80 columns itself.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
       "The Zeze is a network trigger box with 24 GPI pins and four serial ports."
       "This desktop tool connects to one box over TCP, reads its whole programming"
       "(command bytes and serial ports per pin, network and serial settings) into"
       "a sheet, lets the operator edit it, and writes it back."
       ""
       "The package also holds zeze, a command-line program that backs up,"
       "restores, compares and programs many boxes at once, and zeze-sim, a"
       "simulated box on 127.0.0.1 for trying both without a box.")
# Release binaries only: the debug information of a RelWithDebInfo build stays out of the package.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ZEZE_HOMEPAGE_URL}")
# Depends is computed by dpkg-shlibdeps from the libraries the installed programs link, so it names
# the Qt 6 packages of the Debian release the package was built on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
