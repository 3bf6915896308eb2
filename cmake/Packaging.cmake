# `cpack -G DEB` in a build folder: rwbridge_<version>_amd64.deb with everything the install
# rules place, under /usr. There the plug-in finds our ReWire library in the folder it searches
# under /usr/lib, with no environment variable.
set(CPACK_PACKAGE_NAME rwbridge)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "rwbridge")
set(CPACK_PACKAGE_CONTACT "rwbridge maintainers <maintainers@rwbridge.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ReWire mixer as a VST 2.4 and LV2 instrument")
# The long description under the summary line; dpkg shows its lines as written.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "rwbridge loads a ReWire library, offers its devices, opens the chosen one\n"
    "and plays its first eight audio channels, with the host's MIDI routed\n"
    "through an editable channel map and the host's transport handed to the\n"
    "device.\n"
    ".\n"
    "The package holds the VST 2.4 plug-in, the LV2 instrument, rwbridge's own\n"
    "ReWire library with demo devices and a JACK device, and rwhost, a\n"
    "command-line host of both formats.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends come from the shared libraries the installed objects link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The JACK device loads libjack at run time, so no link names it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjack-jackd2-0 | libjack-0.125")

# CPack would add ldconfig scripts for objects under /usr/lib, yet ours live in folders the
# dynamic linker never searches; naming scripts that do not exist keeps the package free of
# maintainer scripts, so that removing it leaves no trace in dpkg's records either.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postinst
    ${PROJECT_BINARY_DIR}/no-maintainer-scripts/postrm)

include(CPack)
