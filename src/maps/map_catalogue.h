#pragma once

#include "maps/surface_look.h"

#include <array>
#include <cstdint>
#include <string>

class FirmwareImage;

// The ten tables the main window can show, in catalogue order. The values are stable: other
// windows store and compare them.
enum class MapKind : int {
    Uoz = 0,
    Tau = 1,
    CoefCorUoz = 2,
    CoefCorTau = 3,
    CorUoz = 4,
    CorTau = 5,
    Pmax = 6,
    Lambda = 7,
    Rcod = 8,
    Drmax = 9,
};
constexpr int MapKindCount = 10;

// Storage width of the value behind a grid cell. None until a table has been shown.
enum class CellWidthKind : int { None = 0, Byte = 1, Word = 2 };

// Which axis labels a table's row or column carries.
enum class MapAxis { None, Nuz, P, DrAxis, RcodRows, RcodCols };

// How choosing a map's menu item changes its check mark: always set it, flip it, or leave the
// item unmarked (the two one-column tables are plain commands outside the radio group).
enum class MarkRule { Set, Flip, Never };

// How a cell's value is stored: one code of `width` per cell. Where every cell converts its code
// alike, the value is code * step + zero, rounded half up to an integer when `rounded`. The
// tables computed from other stored values convert per cell (MapInfo::codeValue): Tau's zero
// follows its column's load, CorUoz and CorTau follow the full-load line, Lambda is no line.
// Every table stores unsigned codes today; the cell reads and writes (cell_edit.h) and the value
// search (nearest_raw.h) take them so.
struct MapStorage {
    CellWidthKind width;
    bool isSigned;
    double step; // value per code step; 0 where it differs between cells
    double zero; // value of code 0; NaN where it differs between cells
    bool rounded;
};

// The values a cell can hold, in the map's units: the values of its lowest and highest code.
// Not `fixed` for the tables whose values depend on other stored values; min and max are then
// -inf and +inf, and a cell's own range follows from the image (CellLimits, nearest_raw.h).
struct MapLimits {
    bool fixed;
    double min;
    double max;
};

// Where a table's cells lie in the image: the first byte of cell (row, col) is at the start of
// its block + row * rowStride + col * colStride + offset. The main and correction maps have two
// stored sets, chosen by UseO2Maps.
enum class MapBlock { MainMap, CorMap, Pmax, Rcod, Drmax };
struct MapPlacement {
    MapBlock block;
    int rowStride;
    int colStride;
    int offset;
};

// One row of the catalogue: everything the program knows about a table. Texts are UTF-8.
struct MapInfo {
    MapKind kind;
    const char* name;        // the kind's name; its menu item is called "M" + name
    const char* caption;     // shown above the grid, in the status line and in comparisons
    const char* menuText;    // the map menu's item
    const char* shortcut;    // the menu item's key sequence, "" for none
    const char* unit;        // unit of the cell values, "" for none
    int rows;                // data rows
    int cols;                // data columns
    const char* corner;      // text of grid cell (0,0)
    const char* columnTitle; // text of grid cell (1,0) for the one-column tables, else null
    MapAxis rowAxis;
    MapAxis colAxis;
    int decimals; // shown decimals; < 0 means "plain integer"
    MapStorage storage;
    MapLimits limits;
    MapPlacement placement;
    // The decoded value of cell (row, col), and the value it would show with `code` stored and
    // the rest of the image as it is; both are the arithmetic Decode uses, to the last bit.
    double (*decodedValue)(const FirmwareImage& image, int row, int col);
    double (*codeValue)(const FirmwareImage& image, int row, int col, int32_t code);
    SurfaceLook look; // the 3-D view; the one-column tables have no surface
    MarkRule mark;
};

// Catalogue entry of a kind. Throws std::out_of_range for a value outside the enum.
const MapInfo& GetMapInfo(MapKind kind);

// All ten entries in catalogue order.
const MapInfo (&MapCatalogue())[MapKindCount];

// The entries in the order of the map menu: the kinds that carry a check mark (one radio group)
// in catalogue order, then the two that never do. The 3-D view draws the marked one of the
// first group.
std::array<const MapInfo*, MapKindCount> MapMenuOrder();

// The lowest and highest code a storage holds.
int32_t LowestCode(const MapStorage& storage);
int32_t HighestCode(const MapStorage& storage);

// Decoded value of data cell (row, col) of a table; rows and cols must be inside the table.
double MapValue(const FirmwareImage& image, MapKind kind, int row, int col);

// Every decoded value of a table, row by row, into `out`, which has room for the rows × cols
// of the table's entry.
void ReadMapValues(const FirmwareImage& image, MapKind kind, double* out);

// Axis label of a data row or column, as a plain integer.
long MapRowLabel(const FirmwareImage& image, MapKind kind, int row);
long MapColLabel(const FirmwareImage& image, MapKind kind, int col);

// Formats a cell value with the table's number of decimals and the given decimal separator
// (the user's locale; UTF-8). Non-finite values print as INF, -INF and NAN; a value that
// rounds to zero never prints a minus sign.
std::string FormatMapNumber(double value, int decimals, const std::string& decimalSeparator);

// The text of one data cell of a table, as the grid shows it.
std::string FormatMapCell(const FirmwareImage& image, MapKind kind, int row, int col,
                          const std::string& decimalSeparator);
