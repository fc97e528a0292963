# The Debian package, built by CPack from the install rules (scripts/package.sh):
#   cw-tamarik_<version>_<arch>.deb
# The shared libraries it needs are computed from the binaries by dpkg-shlibdeps; what is
# loaded at run time without being linked (fonts, Qt's SQLite driver) is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cw-tamarik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "CW Tamarik developers <cw-tamarik@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Morse code (CW) practice and sending, English and Korean")
# CPack puts the summary first and indents the rest, turning the empty line into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "CW Tamarik sends text as Morse code with exact timing through the sound
server: English letters, digits, punctuation, Hangul in the Korean Morse
convention and procedure signs such as [AR]. It offers random practice
groups, copy practice with Koch lessons, procedure-sign buttons, live
typing, mouse keying, keyboard macros, WAV recording, a decoded
transcript, keying of a transmitter and a Morse chart. Its interface is
in Korean.

The package also holds cw-tamarik-render, which sends a text file to a
WAV file without a sound device.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/cwtamarik/cw-tamarik)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum, fonts-nanum-coding, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pipewire-pulse | pulseaudio")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libhamlib-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the program's own files: the tools that draw the chart or take screenshots, the tests
# and the benchmarks have no install rules.
include(CPack)
