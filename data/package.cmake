# The Debian package: `cpack -G DEB` in the build folder makes
# morvane_<version>_<arch>.deb from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "The Morvane developers")
# The Maintainer field is whoever makes the package (maintainer.cmake), read
# when cpack runs, as the changelog's signature is.
set(CPACK_MORVANE_MAINTAINER "${MORVANE_PACKAGE_MAINTAINER}")
set(CPACK_MORVANE_MAINTAINER_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/maintainer.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/package_check.cmake)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record, cut and join PCM WAVE audio")
set(CPACK_PACKAGE_DESCRIPTION
"Morvane records the sound input into a WAVE file, cuts a long recording
into one file per song at its quiet gaps or into pieces of equal length,
and joins files into one. It works on PCM WAVE files of 8 or 16 bits,
mono or stereo, from 5 to 48 kHz, for people who digitise tapes, records
and radio. The window is in Japanese; morvane-cli runs the same engines
from the command line.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs link come from dpkg-shlibdeps. They bring the
# rest: Qt's xcb platform plugin ships in libqt6gui6, and Qt Multimedia
# records through libpulse, which libqt6multimedia6 depends on (no media
# plugin is loaded). Added by hand: the font the window asks for, Qt's
# Japanese translation for its standard buttons and dialogs, the hicolor
# theme the icons go into (its index lets a menu find them, its trigger
# keeps the icon cache up to date), the Wayland platform plugin, and a
# sound server to record from.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, pipewire-pulse | pulseaudio")
include(CPack)
