#pragma once

#include "maps/map_catalogue.h"
#include "maps/map_operations.h"

#include <optional>

#include <string>

class FirmwareImage;

// Unit of an axis's labels, UTF-8; empty for plain numbers. A table's own unit is in its
// catalogue row.
const char* MapAxisUnit(MapAxis axis);
// Short name of an axis as the corner captions write it ("N", "P", "Dr").
const char* MapAxisName(MapAxis axis);

// One data cell as the status line names it: "N 600 об/мин, P 43: 14,0 °", UTF-8.
std::string CellReadoutText(const FirmwareImage& image, MapKind kind, int row, int col,
                            const std::string& decimalSeparator);

// The line under the grid, UTF-8: the table and the map set it is read from, the data cell
// (row, col) with its axis labels, value and unit, the stored value behind it and its address,
// and whether the image's stored checksum agrees with its contents. A cell outside the table
// leaves out the cell's parts. Numbers use the given decimal separator, as the grid does.
std::string MapStatusText(const FirmwareImage& image, MapKind kind, int row, int col,
                          const std::string& decimalSeparator);

// What a selection of several cells holds: how many cells, and the least, greatest and mean of
// their values as the grid shows them.
struct CellSummary {
    int count = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
};

// The summary of the cells of `rect` inside the table; none for a single cell (the line above
// already shows it) or a rectangle wholly outside the table.
std::optional<CellSummary> SummariseCells(const FirmwareImage& image, MapKind kind, CellRect rect);

// "Выделено: 12, мин 10,5 °, макс 30 °, среднее 20,25 °", UTF-8, with one decimal more than the
// table's for the mean so that it does not read as a stored value.
std::string CellSummaryText(const CellSummary& summary, MapKind kind,
                            const std::string& decimalSeparator);
