#pragma once

#include "maps/map_operations.h"
#include "maps/table_text.h"

#include <QString>

// An operation of the "Правка" menu on the selected cells: what the core does, the item's object
// name and text, the name of its history step, and whether it asks for a number first.
struct MapEditOperation {
    MapOperation op;
    const char* name;
    const char* text; // menu item, UTF-8
    const char* step; // undo step name, UTF-8
    bool asksNumber;
};

// In menu order; the first is also what a value typed into a cell does.
extern const MapEditOperation MapEditOperations[7];

// How many cells an edit changed, and how many of them were given the nearest value their storage
// holds instead of the one asked for.
QString EditCountText(const MapEditCount& count);

// Why a paste was refused, in the user's words.
QString PasteRefusal(const TableTextError& e);
