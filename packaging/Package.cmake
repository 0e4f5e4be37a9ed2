# The Debian package: `cpack --config build/CPackConfig.cmake` (what `./kelvor package` runs)
# packs what the install rules of packaging/CMakeLists.txt place under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quennel)
set(CPACK_PACKAGE_CONTACT "Quennel <kelvor@quennel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "utility for DV camcorder videos and their recording dates")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Every frame a DV camcorder records carries the date and time it was filmed and
the tape timecode. Kelvor lists DV videos (DV in AVI, raw DV, DV in QuickTime or
Matroska) with those facts, renames files and sets their dates after the
recording date, finds scenes, writes scene lists, spreadsheets and subtitles,
cuts and converts videos, and previews them with their date. It works from its
window or from the command line (kelvor-cli).")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KELVOR_WEB_ADDRESS})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The Qt, FFmpeg and libxlsxwriter libraries the programs link come from dpkg-shlibdeps; the Qt
# plugins they load (display, sound) ship in the same packages. Wayland desktops want Qt's
# Wayland plugin, X11 does not.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The datecode inlay draws with Liberation Sans where it is installed, another sans face otherwise.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dvgrab")
# Debug information stays in the build; the package holds stripped programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)
include(CPack)
