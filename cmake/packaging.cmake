# Desktop identity and the Debian package: `cpack -G DEB` in a build directory makes
# zeze-gpi-programmer_<version>_<arch>.deb of everything the install() rules put under /usr.

# Names the menu entry, the icon and the AppStream component alike (dist/), and tells a Wayland
# compositor which menu entry the running window belongs to (app/main.cpp).
set(ZEZE_APP_ID org.zeze.GpiProgrammer)
# The programs the package holds: their manual pages and final stripping follow this list (dist/).
set(ZEZE_PROGRAMS zeze-gpi-programmer zeze zeze-sim)

# Debian's hardening flags, as dpkg-buildflags gives them with every feature on (hardening=+all):
# fortified C library calls, the stack protector, read-only relocations bound at start-up (relro,
# bindnow). Every build gets them, so the tests run what the package ships; the sanitizer builds do
# not, and Debug builds get no _FORTIFY_SOURCE, which wants optimisation. Only these flags are taken:
# optimisation and debug information stay the build type's.
option(ZEZE_HARDENING "Build with Debian's hardening flags (dpkg-buildflags)" ON)
find_program(ZEZE_DPKG_BUILDFLAGS dpkg-buildflags)
if(ZEZE_HARDENING AND ZEZE_DPKG_BUILDFLAGS AND NOT ZEZE_ASAN)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${ZEZE_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag IN LISTS flags)
      if(flag MATCHES "^-D_FORTIFY_SOURCE=")
        add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
      elseif(flag MATCHES "^-f(stack-protector|stack-clash-protection|cf-protection)|^-Werror=format-security$")
        add_compile_options(${flag})
      elseif(flag MATCHES "^-Wl,-z,")
        add_link_options(${flag})
      endif()
    endforeach()
  endforeach()
endif()

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
# Release binaries only: the debug information of a RelWithDebInfo build stays out of the package
# (and the compiler's .comment section, removed by an install step in dist/).
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# No Homepage field: the project has no public address yet.
# Depends is computed by dpkg-shlibdeps from the libraries the installed programs link, so it names
# the Qt 6 packages of the Debian release the package was built on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
