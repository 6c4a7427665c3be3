# A .deb of the installed program: cmake --build build --target package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "The Kelvane developers <developers@kelvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send single MIDI messages by hand")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvane sends one Control Change or System Exclusive message at a time to a MIDI output device.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries the program links come from dpkg-shlibdeps; the platform plugins Qt loads at run
# time do not show there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
