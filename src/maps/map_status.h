#pragma once

#include "maps/map_catalogue.h"

#include <string>

class FirmwareImage;

// Unit of an axis's labels, UTF-8; empty for plain numbers. A table's own unit is in its
// catalogue row.
const char* MapAxisUnit(MapAxis axis);

// The line under the grid, UTF-8: the table and the map set it is read from, the data cell
// (row, col) with its axis labels, value and unit, the stored value behind it and its address,
// and whether the image's stored checksum agrees with its contents. A cell outside the table
// leaves out the cell's parts. Numbers use the given decimal separator, as the grid does.
std::string MapStatusText(const FirmwareImage& image, MapKind kind, int row, int col,
                          const std::string& decimalSeparator);
