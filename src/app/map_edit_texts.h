#pragma once

#include "maps/map_operations.h"
#include "maps/table_text.h"
#include "maps/value_range.h"
#include "maps/warning_limits.h"

#include <QString>
#include <optional>
#include <string>

// An operation of the "Правка" menu on the selected cells: what the core does, the item's object
// name and text, the name of its history step, and whether it asks for a number first.
struct MapEditOperation {
    MapOperation op;
    const char* name;
    const char* text; // menu item, UTF-8
    const char* step; // undo step name, UTF-8
    bool asksNumber;
    const char* keys; // the item's shortcut, portable text
};

// In menu order; the first is also what a value typed into a cell does.
extern const MapEditOperation MapEditOperations[7];

// How many cells an edit changed, and how many of them were given the nearest value their storage
// holds instead of the one asked for.
QString EditCountText(const MapEditCount& count);

// What an operation on the cells of rect must say or ask before it runs: a value to set that
// the cells cannot hold refuses it whole, naming the first cell and its range; cells the
// operation would take beyond their range ask first whether to take the nearest end, naming how
// many and the range of the first; cells it would take beyond the user's warning limits (when
// set) ask first too. Both empty when the operation may simply run.
struct EditCheck {
    QString refusal;
    QString question;
};
EditCheck CheckOperation(const FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                         double operand, const std::optional<WarningLimits>& warning = {});

// The question before values (a block from (top, left)) that lie beyond the warning limits are
// stored: how many and the limits; empty when none does or no limits are set.
QString WarningQuestion(MapKind kind, int top, int left, const CellValues& values,
                        const std::optional<WarningLimits>& warning);

// The label of an operation's number box, with the map's unit ("Прибавить, °:"), and the text
// the box starts with: the set value starts at the current cell's, an addend at the last one
// used (0 at first, so Enter out of habit changes nothing), a percentage at 100.
QString OperandLabel(MapOperation op, MapKind kind);
QString OperandStart(MapOperation op, const QString& currentCell, const QString& lastAddend);

// A number typed while the cells show the difference to the reference is a difference too: the
// values reference + delta for the cells of rect, and why they are refused when one is beyond
// its range.
std::optional<QString> CheckDifferenceEntry(const FirmwareImage& image,
                                            const FirmwareImage& reference, MapKind kind,
                                            CellRect rect, double delta, CellValues& values);

// Reads pasted text into values for the cells from (row, col) on; why it is refused, in the
// user's words (not numbers, off the table, a value a cell cannot hold), when it is.
std::optional<QString> CheckPaste(const FirmwareImage& image, MapKind kind, int row, int col,
                                  const std::string& text, CellValues& values);
