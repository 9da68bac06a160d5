# What `cmake --install` puts where, and the Debian package `cpack -G DEB` builds from it.
include(GNUInstallDirs)

set(VELMARIS_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/velmaris")

install(TARGETS velmaris velmaris-cli velmaris-ecusim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/velmaris.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velmaris.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The man pages name the version and the folder of the examples; they are written into the
# build tree and installed compressed, as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(page velmaris velmaris-cli velmaris-ecusim)
    set(VELMARIS_VERSION ${PROJECT_VERSION})
    set(VELMARIS_SHARE_DIR_FULL "${CMAKE_INSTALL_PREFIX}/${VELMARIS_SHARE_DIR}")
    configure_file(packaging/man/${page}.1 man/${page}.1 @ONLY)
    add_custom_command(OUTPUT man/${page}.1.gz
                       COMMAND ${GZIP_PROGRAM} -9 -n -c man/${page}.1 > man/${page}.1.gz
                       DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    list(APPEND velmaris_man_pages ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(velmaris-man ALL DEPENDS ${velmaris_man_pages})
install(FILES ${velmaris_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(DIRECTORY src/app/help/ DESTINATION ${VELMARIS_SHARE_DIR}/help)
install(FILES examples/demo.hex examples/demo.bin examples/database.mdb
        DESTINATION ${VELMARIS_SHARE_DIR}/examples)

set(CPACK_PACKAGE_NAME velmaris)
set(CPACK_PACKAGE_VENDOR "Velmaris developers")
set(CPACK_PACKAGE_CONTACT "Velmaris developers <velmaris@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "editor of the calibration data of a petrol-engine control unit")
set(CPACK_PACKAGE_DESCRIPTION
    "Opens a 32 KB control-unit image (Intel HEX or binary), edits its maps, constants, vectors, "
    "identification texts and equipment bits, saves it with a fresh checksum, and reads or "
    "programs the unit over a serial line. Comes with a command-line tool and a simulated unit.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmaris)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Mesa draws the 3-D view where no other OpenGL driver is installed; the libraries alone do not
# pull it in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
