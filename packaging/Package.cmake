# The Debian package, built by CPack (scripts/package): both programs, the settings defaults, the
# desktop entry, the ".cry" MIME type, the icons, the manual, the manual pages and the completion, as
# `cmake --install` places them under /usr. The MIME type and the menu entry are registered on install by
# the dpkg triggers of shared-mime-info and desktop-file-utils, which watch the directories they go to.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlaxen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vorlaxen developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file encryption with IDEA, DES and Triple DES")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The install steps write files that name the prefix (the settings defaults, the desktop entry): they run
# with DESTDIR and the real prefix, never with the staging directory as the prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

# The maintainer and the web page are the build's settings (CMakeLists.txt); the changelog names the
# maintainer too. A package without a web page has no Homepage field.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORLAXEN_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT VORLAXEN_HOMEPAGE STREQUAL "")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORLAXEN_HOMEPAGE}")
endif()
set(CPACK_PACKAGE_DESCRIPTION "Vorlaxen encrypts files for one user. Encrypting a file writes its container
beside it, the file's name with .cry appended, and then wipes the plain
file; decrypting writes the plain file back and deletes the container. Every
container carries a check of the key and a checksum of the data. Passwords can
be kept in a key file, itself encrypted under a master password.

The package holds the desktop program, which opens .cry files from the
file manager, and the command-line companion vorlaxen-cli.")
# The libraries the programs link, found by dpkg-shlibdeps; beside them what Qt loads at run time (the
# X11 platform plugin, the SVG icons), the MIME database the panes name types by, and the icon theme that
# tells file types apart where the desktop has none.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6, shared-mime-info, adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, cups-client")

include(CPack)
