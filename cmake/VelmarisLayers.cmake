# One library per room and floor, and the include roots that make the build refuse an include
# the library has not stated.
#
# Every library gets a folder of its own in the build tree, include-roots/<library>/, which is
# the library's public include directory. A library therefore sees its own files and those of
# the libraries it links, nothing else: `#include "app/main_form.h"` in the maps room fails to
# compile, because no library of the maps room links the app's library. Includes are always
# written from the room's name ("maps/view/map_grid.h"), never with "..".
#
# A room's core library (no SUBFOLDER) exposes only the headers directly in src/<room>/: its
# root holds a real folder <room>/ with one link per header, so the room's Qt floors below
# src/<room>/ stay out of sight of everyone who links only the core. A library of a room's
# subfolder (SUBFOLDER view, db, port ...) exposes just that folder: its root holds the link
# <room>/<subfolder> to src/<room>/<subfolder>.
#
#   velmaris_add_room_library(NAME ROOM room [SUBFOLDER folder] [QT] [OBJECT] SOURCES a.cpp ...)
function(velmaris_add_room_library name)
    cmake_parse_arguments(ARG "QT;OBJECT" "ROOM;SUBFOLDER" "SOURCES" ${ARGN})
    set(root ${PROJECT_BINARY_DIR}/include-roots/${name})
    set(room_root ${root}/${ARG_ROOM})
    set(room_source ${PROJECT_SOURCE_DIR}/src/${ARG_ROOM})
    # Start from an empty root, so that a header moved away since the last run is not still
    # visible. A build tree from before the per-header roots has a link where the room's
    # folder now goes; remove the link itself, never what it points to.
    if(IS_SYMLINK ${room_root})
        file(REMOVE ${room_root})
    endif()
    file(REMOVE_RECURSE ${room_root})
    file(MAKE_DIRECTORY ${room_root})
    if(ARG_SUBFOLDER)
        file(CREATE_LINK ${room_source}/${ARG_SUBFOLDER} ${room_root}/${ARG_SUBFOLDER} SYMBOLIC)
    else()
        file(GLOB headers LIST_DIRECTORIES false CONFIGURE_DEPENDS ${room_source}/*.h)
        foreach(header IN LISTS headers)
            get_filename_component(header_name ${header} NAME)
            file(CREATE_LINK ${header} ${room_root}/${header_name} SYMBOLIC)
        endforeach()
    endif()
    if(ARG_OBJECT)
        add_library(${name} OBJECT ${ARG_SOURCES})
    else()
        add_library(${name} STATIC ${ARG_SOURCES})
    endif()
    target_include_directories(${name} PUBLIC ${root})
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
endfunction()
