# Run by cpack after it has made the packages (CPACK_POST_BUILD_SCRIPTS). CPack writes the
# md5sums of the dbgsym package with the absolute paths of its staging folder, so dpkg could
# never verify them, and gives the package no documents. This repacks it as Debian's tools
# make one: md5sums relative to the root, and /usr/share/doc/velmaris-dbgsym a link to the
# main package's folder with its copyright and changelog. dpkg-deb clamps every time stamp to
# SOURCE_DATE_EPOCH (set by the project's cpack configuration), so the result stays
# reproducible.
set(ddebs ${CPACK_PACKAGE_FILES})
list(FILTER ddebs INCLUDE REGEX "\\.ddeb$")
if(NOT ddebs)
    # Not every CPack lists the extra package among its files: look beside the main one.
    foreach(package IN LISTS CPACK_PACKAGE_FILES)
        get_filename_component(folder "${package}" DIRECTORY)
        file(GLOB found "${folder}/*-dbgsym_*.ddeb")
        list(APPEND ddebs ${found})
    endforeach()
    list(REMOVE_DUPLICATES ddebs)
endif()
foreach(ddeb IN LISTS ddebs)
    set(tree "${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-repack")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${ddeb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
    file(READ "${tree}/DEBIAN/md5sums" sums)
    string(REGEX REPLACE "  /[^\n]*-dbgsym/usr/" "  usr/" sums "${sums}")
    file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
    # Debugging information is data, not a program.
    file(GLOB_RECURSE debug_files "${tree}/usr/lib/debug/*.debug")
    file(CHMOD ${debug_files} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    file(MAKE_DIRECTORY "${tree}/usr/share/doc")
    file(CREATE_LINK velmaris "${tree}/usr/share/doc/velmaris-dbgsym" SYMBOLIC)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b "${tree}" "${ddeb}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
