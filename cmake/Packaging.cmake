# `cpack -G DEB` in a configured and built build folder makes quillbrook_<version>_<arch>.deb.
# Its Depends come from the shared libraries the programs really link (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillbrook)
set(CPACK_PACKAGE_VENDOR "The Quillbrook developers")
set(CPACK_PACKAGE_CONTACT "The Quillbrook developers <maintainers@quillbrook.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillbrook.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps your Desktop free of old screenshots")
# Wrapped by hand: dpkg shows each line as it is.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quillbrook moves screenshots older than a limit you choose from one folder,"
    "by default ~/Desktop, to the freedesktop.org Trash, so nothing is ever"
    "deleted outright. A tray icon opens a small panel to set the age limit, the"
    "folder and an hourly, daily or weekly schedule (a systemd user timer runs"
    "'quillbrook --headless'), to preview or run a cleanup at once, and to start"
    "Quillbrook at login.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its SVG and Wayland plugins at run time; no program links them, so dpkg-shlibdeps
# cannot see them and they are added to what it finds. Without the Wayland plugin the tray app
# would not start on a Wayland-only desktop.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4), qt6-wayland (>= 6.4)")
# Scheduled runs are systemd user timers; Qt's own dialogs (the folder chooser) speak the user's
# language with Qt's catalogues; GNOME shows tray icons only through its extension.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator, trash-cli")

set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
