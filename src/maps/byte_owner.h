#pragma once

#include "maps/map_catalogue.h"

#include <cstdint>

class FirmwareImage;

// What one byte of the image holds, so that a byte the unit failed to keep can be named for
// the engineer: a stored cell of a table (by its axis labels), an identification text, the
// equipment bits, the calibration checksum, or nothing the editor shows (code, other data).
struct ByteOwner {
    enum class Kind { Other, MapCell, Ident, Equipment, Checksum };
    Kind kind = Kind::Other;
    MapKind map = MapKind::Uoz; // MapCell: the first table in catalogue order storing the byte
    long rowLabel = 0;          // MapCell: axis labels of the cell
    long colLabel = 0;
    bool hasColumn = false; // MapCell: the table has a column axis
    int field = -1;         // Ident: index of FirmwareImage::Ident
};

// The owner of the byte at address in image (decoded, so that the axis labels are current),
// read with the map set image.UseO2Maps selects.
ByteOwner OwnerOfByte(const FirmwareImage& image, uint32_t address);
