#pragma once

#include "maps/map_catalogue.h"

#include <cstdint>

class FirmwareImage;

// What cell (row, col) of a table would show if the stored value behind it (the one
// MapCellAddress names) were `raw`, everything else of the image staying as last decoded.
double CellValueForRaw(const FirmwareImage& image, MapKind kind, int row, int col, int32_t raw);

// The stored value, within its storage range (0..255 for a byte, 0..65535 for a word), whose
// decoded cell value is nearest to `value`; of equally near ones the one nearest the value
// stored now. The image must be decoded. A value beyond what the range can show gives the
// nearest end and sets *clamped (when given); NaN keeps the stored value. Every typed or
// computed cell value goes through here, so a cell only ever shows what the unit can hold.
int32_t NearestRaw(const FirmwareImage& image, MapKind kind, int row, int col, double value,
                   bool* clamped = nullptr);

// The lowest and highest finite value cell (row, col) can show, in the map's units: the row's
// limits for the tables with a fixed range; for the others the range the cell's codes give with
// the rest of the image as last decoded (not `fixed`; min > max when no code shows a finite
// value). A value beyond it is what NearestRaw reports as clamped.
MapLimits CellLimits(const FirmwareImage& image, MapKind kind, int row, int col);
