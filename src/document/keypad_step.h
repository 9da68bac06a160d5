#pragma once

#include "maps/map_catalogue.h"

#include <cstdint>
#include <string>

class ImageDocument;

// A keypad plus or minus on the current cell of the grid: the map and data cell, the stored
// value's width and address, the value as last read, and the step (+1 or -1; 0 only rewrites).
struct KeypadPress {
    MapKind map;
    int row;
    int col;
    CellWidthKind width;
    int32_t address;
    int32_t raw;
    int delta;
};

// Steps the stored value as one step of the document's history, which merges with the presses
// on the same cell in the last second. The step is named after the map, the cell's axis labels
// and the cell's text before the first press and after the last. Returns the value stored now.
int32_t RecordKeypadPress(ImageDocument& doc, const KeypadPress& press,
                          const std::string& decimalSeparator);
