# `cpack` in the build folder makes the Debian package quoralis2005_<version>_<arch>.deb from
# the installation (cmake/QuoralisInstall.cmake) with the prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quoralis2005)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUORALIS_SUPPORT_ADDRESS})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up folders into ZIP archives")
set(CPACK_PACKAGE_DESCRIPTION "Quoralis2005 keeps a list of folders and one destination folder.
On demand, on a timer, when it starts or when it closes, it packs those folders
into standard ZIP archives in the destination, optionally with changed files
only. It skips excluded folders and file types, keeps an activity log, restores
files from its archives and sits in the tray. Started with /autoclose it makes
a backup and closes, for a scheduler.")
# The launcher and the menu entry name the program under /usr, so the files are staged with
# DESTDIR instead of a prefix of their own.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quoralis2005 developers <${QUORALIS_SUPPORT_ADDRESS}>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and its engine link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
