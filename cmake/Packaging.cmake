# SPDX-License-Identifier: GPL-3.0-or-later
# cpack (in a build folder) makes a Debian package of what cmake --install puts in place, under
# /usr. Its dependencies are the shared libraries the programs link (found by dpkg-shlibdeps)
# and the Qt plug-ins they load at run time, which no link shows. Make it from a Release build
# (scripts/setup with BRINDLE_BUILD_TYPE=Release): the programs are stripped either way, but
# only an optimised build belongs in a package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane <feedback@brindle.example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindle.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop bookmark manager with keyword search")
# CPack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brindle keeps web bookmarks in one document and narrows thousands of links
on every keystroke with a small keyword query language; the keyword list
above the results shows which keywords would narrow the search further.
.
It checks which links died or moved, reads titles, descriptions and
keywords from the pages, imports bookmarks from Firefox, Chromium-based
browsers and bookmark files, exports them, and waits in the system tray
with global hot keys and macros.
.
The brindle-cli command works on the same documents from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The browser host manifests lie outside the prefix (/etc, /usr/lib/mozilla): stage through DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
# The host manifests under /etc are the administrator's to change (install-browser-host --system).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/res/package/conffiles)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG icon engine draws every command icon; the help page and links open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
