#pragma once

#include "maps/map_catalogue.h"

#include <cstdint>

class FirmwareImage;

// Raw image address where a block of tables starts, with the map set that UseO2Maps selects now.
int32_t MapBlockAddress(const FirmwareImage& image, MapBlock block);

// Raw image address of the first stored byte behind data cell (row, col) of a table, with the
// map set that UseO2Maps selects now. Computed tables (CorUoz, CorTau, Lambda) edit the stored
// byte they are computed from. Returns -1 for a cell outside the table.
int32_t MapCellAddress(const FirmwareImage& image, MapKind kind, int row, int col);

// The stored value at an address, read with the given width; `fallback` for width None or an
// address outside the image.
int32_t ReadCellRaw(const FirmwareImage& image, CellWidthKind width, int32_t address,
                    int32_t fallback);

// Writes a stored value with the given width at an address (without decoding); nothing for
// width None or an address outside the image. The value must lie in the width's range.
void WriteCellRaw(FirmwareImage& image, CellWidthKind width, int32_t address, int32_t raw);

// One key step on the current cell: re-reads the stored value (so a change another window made
// is never undone), adds delta (-1, 0 or +1), clamps to the width's range and writes it back; the
// image decodes itself. With width None or no valid address nothing is written. Returns the new
// raw value (`raw` when nothing was written).
int32_t StepCellRaw(FirmwareImage& image, CellWidthKind width, int32_t address, int32_t raw,
                    int delta);

// True when a stored byte behind data cell (row, col) differs from the file as last opened or
// saved (LoadedCopy): the cell carries an edit that is not saved.
bool CellDiffersFromFile(const FirmwareImage& image, MapKind kind, int row, int col);
