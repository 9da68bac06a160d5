#pragma once

#include "image/firmware_image.h"
#include "maps/map_catalogue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What differs between two images: the tables of the main window cell by cell, the
// identification texts, the equipment bits, the stored checksum and every other byte, so a
// calibration engineer sees each difference exactly once and in its own group. Image a is the
// working image, image b the reference.

// One data cell of a table. Its decoded values differ, or its row or column sits at another
// axis value (an axis byte moves every cell of its row or column), or its own stored bytes
// differ even where the decoded values round to the same number.
struct CellDifference {
    int row; // 0-based data row; one-column tables have col 0
    int col;
    double a;
    double b;
    bool operator==(const CellDifference& o) const;
};

struct MapDifference {
    MapKind kind;
    std::vector<CellDifference> cells; // row by row
};

// An identification field whose text or stored bytes differ; texts in UTF-8.
struct IdentDifference {
    int field; // index of FirmwareImage::Ident
    std::string a;
    std::string b;
};

struct EquipmentDifference {
    int bit; // equipment item
    bool a;
    bool b;
};

struct ChecksumDifference {
    uint16_t a;
    uint16_t b;
};

// A constant (point < 0) or one point of a vector of the parameter database. For a vector the
// argument is compared too; a constant has arguments 0.
struct ParameterDifference {
    std::string mark;
    std::string name;
    int point = -1; // 0-based point of a vector, -1 for a constant
    double a = 0;
    double b = 0;
    double argA = 0;
    double argB = 0;
    int decimals = 0; // shown decimals of the value
    int record = -1;  // index of the record in the list it was compared from
};

struct ImageDifferences {
    std::vector<MapDifference> maps; // only tables with differences, in catalogue order
    std::vector<IdentDifference> ident;
    std::vector<EquipmentDifference> equipment;
    std::optional<ChecksumDifference> checksum;
    // Runs of differing bytes that no other group lists (code and other data), rising.
    std::vector<AddressRange> bytes;
    // Filled only when a parameter database takes part (see parameter_compare.h).
    std::vector<ParameterDifference> constants;
    std::vector<ParameterDifference> vectors;

    bool Empty() const;
    // Number of listed differences: cells, fields, bits, the checksum, byte runs, constants and
    // vector points.
    std::size_t Count() const;
    // The differing cells of one table, null when it has none.
    const MapDifference* Map(MapKind kind) const;
};

// Compares two 32 KB memories, both decoded with the map set useO2 selects. The bytes of the
// map set not selected count as other bytes. NaN equals NaN.
ImageDifferences CompareImages(const uint8_t* a, const uint8_t* b, bool useO2);
inline ImageDifferences CompareImages(const FirmwareImage& a, const FirmwareImage& b, bool useO2) {
    return CompareImages(a.Bytes(), b.Bytes(), useO2);
}

// Taking differences from the reference: the bytes behind a difference, and their copy into
// the image through its byte writes (so every listener hears of it).
AddressRange CellBytes(const FirmwareImage& image, MapKind kind, int row, int col);
AddressRange ChecksumBytes();
void TakeBytes(FirmwareImage& image, const FirmwareImage& reference, const AddressRange& bytes);
// Only the one bit of equipment item k; the other items of its byte stay.
void TakeEquipmentBit(FirmwareImage& image, const FirmwareImage& reference, int k);

// Removes from the other-bytes runs every address that covered marks (one flag per image
// byte), splitting runs where needed. Used when a further group lists those bytes.
void RemoveCoveredBytes(ImageDifferences& diff, const std::vector<bool>& covered);

// A short account, one line per group (Russian, UTF-8): each table with its number of cells,
// the constants, the vector points, the identification fields, the equipment bits, the
// checksum, and the runs of other bytes with their number of bytes. Empty when nothing differs.
std::vector<std::string> DifferenceSummary(const ImageDifferences& diff);

// Two decoded values count as equal when both are NaN or they compare equal.
inline bool SameValue(double x, double y) {
    return x == y || (x != x && y != y);
}
