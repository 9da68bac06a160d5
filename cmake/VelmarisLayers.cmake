# One library per room and floor, and the include roots that make the build refuse an include
# the library has not stated.
#
# Every library gets a folder of its own in the build tree whose only entry is a link, named
# after the room, to the room's source folder; that folder is the library's public include
# directory. A library therefore sees its own room and the rooms of the libraries it links,
# nothing else: `#include "app/main_form.h"` in the maps room fails to compile, because no
# library of the maps room links the app's library. Includes are always written from the
# room's name ("maps/map_grid.h"), never with "..".
#
#   velmaris_add_room_library(NAME ROOM room [QT] [OBJECT] SOURCES a.cpp ...)
function(velmaris_add_room_library name)
    cmake_parse_arguments(ARG "QT;OBJECT" "ROOM" "SOURCES" ${ARGN})
    set(root ${PROJECT_BINARY_DIR}/include-roots/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${ARG_ROOM} ${root}/${ARG_ROOM} SYMBOLIC)
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
