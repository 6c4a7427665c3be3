# Finds PortMidi. Debian's libportmidi-dev ships neither a pkg-config file nor a
# CMake package, so look for the header and library directly.
#
# Defines PortMidi_FOUND, PortMidi_INCLUDE_DIR, PortMidi_LIBRARY and the
# imported target PortMidi::PortMidi.

find_path(PortMidi_INCLUDE_DIR NAMES portmidi.h)
find_library(PortMidi_LIBRARY NAMES portmidi)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(PortMidi
    REQUIRED_VARS PortMidi_LIBRARY PortMidi_INCLUDE_DIR)

if(PortMidi_FOUND AND NOT TARGET PortMidi::PortMidi)
    add_library(PortMidi::PortMidi UNKNOWN IMPORTED)
    set_target_properties(PortMidi::PortMidi PROPERTIES
        IMPORTED_LOCATION "${PortMidi_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${PortMidi_INCLUDE_DIR}")
endif()

mark_as_advanced(PortMidi_INCLUDE_DIR PortMidi_LIBRARY)
