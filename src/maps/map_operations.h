#pragma once

#include "maps/map_catalogue.h"

#include <optional>
#include <vector>

class FirmwareImage;

// A rectangle of data cells of a table, both corners included.
struct CellRect {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

// Values for a block of cells, row by row; an empty entry keeps its cell.
using CellValues = std::vector<std::vector<std::optional<double>>>;

// What an edit of many cells did: how many stored values changed, and how many cells asked for
// a value beyond what their storage can hold (they got the nearest end).
struct MapEditCount {
    int changed = 0;
    int clamped = 0;
};

enum class MapOperation {
    SetValue,           // every cell gets the operand
    Add,                // the operand is added to every cell
    MultiplyPercent,    // every cell is multiplied by operand / 100
    InterpolateRows,    // each row runs straight from its first to its last selected cell
    InterpolateColumns, // each column runs straight from its top to its bottom selected cell
    InterpolateRect,    // bilinear from the four corners of the selection
    Smooth,             // mean of each cell's 3 × 3 neighbourhood, with the cells the table has
};

// Every edit below computes all new values from the decoded table first, stores each one by
// NearestRaw (so the table shows only values the unit can hold) in one batch of the image, which
// decodes once at its end.
// The image must be decoded; cells outside the table are left out.

// Stores values into the block whose top-left cell is (top, left).
MapEditCount StoreMapValues(FirmwareImage& image, MapKind kind, int top, int left,
                            const CellValues& values);

MapEditCount ApplyMapOperation(FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                               double operand = 0);

// The values ApplyMapOperation would store, for the rectangle cut to the table (its top-left
// cell first), so they can be checked before anything is written.
CellValues MapOperationValues(const FirmwareImage& image, MapKind kind, CellRect rect,
                              MapOperation op, double operand = 0);

// The keypad step on every cell of the rectangle: the stored value ± delta, clamped to its
// storage range (a cell already at the end counts as clamped).
MapEditCount StepMapCells(FirmwareImage& image, MapKind kind, CellRect rect, int delta);

// The rectangle cut to the table; empty (bottom < top) when nothing of it lies inside.
CellRect ClipToTable(MapKind kind, CellRect rect);
