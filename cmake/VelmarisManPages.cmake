# Run by `cmake --install` and by cpack (install(SCRIPT) in VelmarisInstall.cmake): fills the
# man pages with the version and the folders of the prefix being installed into, which only
# the installation knows (cpack installs into /usr whatever the build was configured with),
# and installs them compressed, as Debian keeps them. gzip leaves out the name and time so
# that two installations give the same bytes.
#
# Set before: VELMARIS_MAN_SOURCES (the page templates), VELMARIS_MAN_WORK (a folder of the
# build tree), VELMARIS_VERSION, VELMARIS_SHARE_DIR (relative to the prefix), the copyright
# holder and years, GZIP_PROGRAM.
set(VELMARIS_SHARE_DIR_FULL "${CMAKE_INSTALL_PREFIX}/${VELMARIS_SHARE_DIR}")
# Every installation writes its own pages, so parallel ones (the tests) never share a file.
string(RANDOM LENGTH 12 work_id)
set(work "${VELMARIS_MAN_WORK}/${work_id}")
file(MAKE_DIRECTORY "${work}")
foreach(source IN LISTS VELMARIS_MAN_SOURCES)
    get_filename_component(page "${source}" NAME)
    configure_file("${source}" "${work}/${page}" @ONLY)
    execute_process(COMMAND "${GZIP_PROGRAM}" -9 -n -c "${work}/${page}"
                    OUTPUT_FILE "${work}/${page}.gz" COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL "${work}/${page}.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${VELMARIS_MAN_DIR}"
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
file(REMOVE_RECURSE "${work}")
