#pragma once

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

// Everything the grid needs to lay out one table. Decimals < 0 means "plain integer".
struct MapInfo {
    MapKind kind;
    const char* name;        // the kind's name; its menu item is called "M" + name
    const char* menuCaption; // UTF-8, also shown above the grid
    int rows;                // data rows
    int cols;                // data columns
    const char* corner;      // text of grid cell (0,0)
    const char* columnTitle; // text of grid cell (1,0) for the one-column tables, else null
    MapAxis rowAxis;
    MapAxis colAxis;
    int decimals;
    CellWidthKind width;
    MarkRule mark;
};

// Catalogue entry of a kind. Throws std::out_of_range for a value outside the enum.
const MapInfo& GetMapInfo(MapKind kind);

// All ten entries in catalogue order. The menu lists the kinds that carry a check mark in this
// order, then the two that never do; the 3-D view draws the marked one of the first group.
const MapInfo (&MapCatalogue())[MapKindCount];

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
