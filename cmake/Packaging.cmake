# The Debian package: cpack -G DEB in a build tree (scripts/package) gives
# meterdesk_<version>_amd64.deb from the install rules, so the package holds
# exactly what cmake --install puts below /usr. dpkg-shlibdeps computes the
# runtime dependencies from the programs' shared libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME meterdesk)
set(CPACK_PACKAGE_VENDOR "meterdesk developers")
set(CPACK_PACKAGE_CONTACT "meterdesk developers <meterdesk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's layout is in pixels and names Arial; Liberation has its metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation2)
# The summary above is the synopsis line; this is the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "meterdesk mirrors the display of a handheld digital multimeter that streams
its display over RS-232 or through its USB cable (a HID bridge), logs the
readings, plots them on a trend chart and judges Pass/Fail against limits.

The package holds the desktop program (meterdesk), a headless logger
(meterdesk-log), a virtual meter (meterdesk-sim) and a udev rule that lets
the user at the seat read the USB cable.")

include(CPack)
