#pragma once

#include "maps/map_operations.h"

#include <cmath>
#include <optional>
#include <string>

class FirmwareImage;

// A value given for a cell that the cell cannot hold, and the range it can.
struct ValueOutOfRange {
    int row = 0; // the table cell
    int col = 0;
    double value = 0;
    MapLimits limits{};
};

// True when `value` lies beyond what cell (row, col) can hold: NaN or an infinity other than the
// one the cell shows now, or a finite value outside CellLimits by more than the table's shown
// decimals round away (127.54 shows as 127.5 and is taken as the top of a 0..127.5 table).
// `limits` receives the cell's range.
bool BeyondCellRange(const FirmwareImage& image, MapKind kind, int row, int col, double value,
                     MapLimits& limits);

// The first value of a block whose top-left cell is (top, left) that its cell cannot hold, row
// by row; empty entries and cells outside the table are passed over. Typed, pasted and loaded
// values are checked here before anything is stored, so a value beyond the range is refused
// instead of being replaced by the nearest end without a word.
std::optional<ValueOutOfRange> FindValueOutOfRange(const FirmwareImage& image, MapKind kind,
                                                   int top, int left, const CellValues& values);

// The same check of one value for every cell of a rectangle (a value typed into a selection).
std::optional<ValueOutOfRange> FindValueOutOfRange(const FirmwareImage& image, MapKind kind,
                                                   CellRect rect, double value);

// How many finite values of a block beyond their cells' range (those an edit takes to the
// nearest end); `first` receives the first of them. Computed results such as an interpolation
// are checked here, so the user can be asked before cells are clamped.
int CountFiniteOutOfRange(const FirmwareImage& image, MapKind kind, int top, int left,
                          const CellValues& values, std::optional<ValueOutOfRange>& first);

// Calls visit(row, col, value) for every finite value of a block whose top-left cell is (top,
// left) that lies inside the table, row by row; empty entries are passed over.
template <typename Visit>
void ForEachFiniteValue(MapKind kind, int top, int left, const CellValues& values, Visit visit) {
    const MapInfo& info = GetMapInfo(kind);
    for (std::size_t i = 0; i < values.size(); ++i)
        for (std::size_t j = 0; j < values[i].size(); ++j) {
            const int r = top + static_cast<int>(i), c = left + static_cast<int>(j);
            if (values[i][j] && std::isfinite(*values[i][j]) && r >= 0 && c >= 0 && r < info.rows &&
                c < info.cols)
                visit(r, c, *values[i][j]);
        }
}

// A range as the grid shows it: "от 0,0 до 127,5 °" with the table's decimals and unit.
std::string RangeText(MapKind kind, const MapLimits& limits, const std::string& decimalSeparator);
