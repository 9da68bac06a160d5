# What `cmake --install` puts where, and the Debian package `cpack -G DEB` builds from it.
# Build the package from a RelWithDebInfo build: CPack then strips the programs and moves their
# debugging information into a velmaris-dbgsym package of its own.
include(GNUInstallDirs)

set(VELMARIS_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/velmaris")
# Debian keeps a package's documents under the package's own name.
set(VELMARIS_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/velmaris")

# Who answers for the package and where the project lives. The addresses are the project's own
# domain under example.org until it has a public one.
set(VELMARIS_MAINTAINER_ADDRESS maintainers@velmaris.example.org)
set(VELMARIS_MAINTAINER "${VELMARIS_COPYRIGHT_HOLDER} <${VELMARIS_MAINTAINER_ADDRESS}>")
set(VELMARIS_HOMEPAGE https://velmaris.example.org/)
set(VELMARIS_SOURCE_URL https://velmaris.example.org/source/velmaris)
set(VELMARIS_SCREENSHOT_URL ${VELMARIS_SOURCE_URL}/raw/branch/main/docs/screenshots)
set(VELMARIS_APPSTREAM_ID org.example.velmaris)

# The Debian changelog is the one place of the package's version and date: its newest entry
# gives the Debian revision, the release date in the AppStream data and the time stamp of every
# file in the package unless SOURCE_DATE_EPOCH says otherwise.
set(changelog ${PROJECT_SOURCE_DIR}/packaging/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^velmaris \\(([^)]+)-([^)-]+)\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: no version in '${changelog_head}'")
endif()
set(VELMARIS_DEB_UPSTREAM_VERSION ${CMAKE_MATCH_1})
set(VELMARIS_DEB_REVISION ${CMAKE_MATCH_2})
if(NOT VELMARIS_DEB_UPSTREAM_VERSION STREQUAL PROJECT_VERSION)
    message(WARNING "packaging/debian/changelog is at ${VELMARIS_DEB_UPSTREAM_VERSION}, the project "
                    "at ${PROJECT_VERSION}: add a changelog entry before packaging")
endif()
file(STRINGS ${changelog} changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" changelog_date "${changelog_trailer}")
execute_process(COMMAND date -u -d "${changelog_date}" +%s OUTPUT_VARIABLE VELMARIS_CHANGELOG_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u -d "@${VELMARIS_CHANGELOG_EPOCH}" +%Y-%m-%d
                OUTPUT_VARIABLE VELMARIS_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

install(TARGETS velmaris velmaris-cli velmaris-ecusim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: the menu entry, its icon, the AppStream data software centres show and
# the Intel HEX file type the entry opens.
install(FILES packaging/velmaris.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/velmaris.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(packaging/velmaris.metainfo.xml.in
               packaging/${VELMARIS_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${VELMARIS_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/velmaris-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME velmaris.xml)

# The man pages are filled in when they are installed (cmake/VelmarisManPages.cmake); the
# Debian changelog is compressed here. Both are compressed as Debian keeps them, without the
# name and time that would make two builds differ.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_sources)
foreach(page velmaris velmaris-cli velmaris-ecusim)
    list(APPEND man_sources ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1)
endforeach()
install(CODE "
    set(VELMARIS_MAN_SOURCES \"${man_sources}\")
    set(VELMARIS_MAN_WORK \"${CMAKE_CURRENT_BINARY_DIR}/man-install\")
    set(VELMARIS_MAN_DIR \"${CMAKE_INSTALL_MANDIR}/man1\")
    set(VELMARIS_VERSION \"${PROJECT_VERSION}\")
    set(VELMARIS_SHARE_DIR \"${VELMARIS_SHARE_DIR}\")
    set(VELMARIS_COPYRIGHT_YEARS \"${VELMARIS_COPYRIGHT_YEARS}\")
    set(VELMARIS_COPYRIGHT_HOLDER \"${VELMARIS_COPYRIGHT_HOLDER}\")
    set(GZIP_PROGRAM \"${GZIP_PROGRAM}\")")
install(SCRIPT cmake/VelmarisManPages.cmake)

set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND ${GZIP_PROGRAM} -9 -n -c ${changelog} > ${changelog_gz}
                   DEPENDS ${changelog})
add_custom_target(velmaris-changelog ALL DEPENDS ${changelog_gz})

configure_file(packaging/debian/copyright.in packaging/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/copyright ${changelog_gz}
              packaging/debian/README.Debian
        DESTINATION ${VELMARIS_DOC_DIR})

install(FILES packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME velmaris)

# The help pages are not installed: the editor shows the copy built into it, which always
# matches the program.
install(FILES examples/demo.hex examples/demo.bin examples/database.mdb
        DESTINATION ${VELMARIS_SHARE_DIR}/examples)

set(CPACK_PACKAGE_NAME velmaris)
set(CPACK_PACKAGE_VENDOR "${VELMARIS_COPYRIGHT_HOLDER}")
set(CPACK_PACKAGE_CONTACT "${VELMARIS_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "editor of the calibration data of a petrol-engine control unit")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/packaging/debian/description)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY velmaris)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VELMARIS_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELMARIS_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The parameter database is opened through Qt's SQLite driver, a plug-in loaded at run time
# that no library of the programs links, so dpkg-shlibdeps cannot find it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# The time stamps of the package come from SOURCE_DATE_EPOCH when it is set, else from the
# changelog (packaging/cpack_project_config.cmake).
set(VELMARIS_PACKAGE_EPOCH ${VELMARIS_CHANGELOG_EPOCH})
configure_file(packaging/cpack_project_config.cmake.in packaging/cpack_project_config.cmake
               @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/packaging/cpack_project_config.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/VelmarisDbgsym.cmake)
include(CPack)
