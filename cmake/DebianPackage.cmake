# The Linux package (cpack -G DEB in the build folder): the window and the station
# command line in /usr/lib/vlfwloader, vlfwflash on the path, a desktop entry. The driver
# libraries are the maker's and are not shipped.
install(TARGETS VLFWLoader vlfwflash RUNTIME DESTINATION lib/vlfwloader)
install(CODE "file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(CREATE_LINK ../lib/vlfwloader/vlfwflash \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/vlfwflash\" SYMBOLIC)
  file(CREATE_LINK ../lib/vlfwloader/VLFWLoader \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/vlfwloader\" SYMBOLIC)")
install(FILES ${PROJECT_SOURCE_DIR}/package/vlfwloader.desktop DESTINATION share/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vlfwloader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmarkon firmware tools <support@velmarkon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware loader for Velmarkon USB devices, window and station command line")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The libraries the programs link, found by dpkg-shlibdeps; Wine's fonts for the window's
# Tahoma, which the program registers where the system has no Tahoma of its own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, qt6-qpa-plugins")
# Nothing is stripped here (a list of files would still strip them all): the window checks
# its own file against its seal. Both programs keep their debug information in files of
# their own from the build on.
set(CPACK_STRIP_FILES OFF)
include(CPack)
