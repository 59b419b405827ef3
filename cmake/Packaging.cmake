# cpack (in a build folder) makes a Debian package of what cmake --install puts in place, under
# /usr. Its dependencies are the shared libraries the programs link (found by dpkg-shlibdeps)
# and the Qt plug-ins they load at run time, which no link shows.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VENDOR "Brindle")
set(CPACK_PACKAGE_CONTACT "Brindle <feedback@brindle.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fast desktop bookmark manager")
# CPack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brindle keeps web bookmarks in one .brx document and narrows thousands of
links on every keystroke with a keyword query language. brindle-cli works
on the same documents from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG icon engine draws every command icon; the help page and links open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
