#pragma once

#include "maps/value_range.h"

#include <optional>

class FirmwareImage;

// Limits the user narrows a table's values to, inside what its storage holds: a value beyond
// them is stored only after the user has been asked. A typo such as 350 for 35,0 is caught even
// where the storage could hold it.
struct WarningLimits {
    double low = 0;
    double high = 0;
};

// The range a table's values can take: its fixed limits, or, for the tables whose range follows
// the rest of the image, from the lowest to the highest value any of its cells can show now.
MapLimits StorageRange(const FirmwareImage& image, MapKind kind);

// How many finite values of a block whose top-left cell is (top, left) lie beyond the limits by
// more than the table's shown decimals round away; `first` receives the first of them, with
// the limits as its range. Empty entries and cells outside the table are passed over.
int CountBeyondWarning(MapKind kind, int top, int left, const CellValues& values,
                       const WarningLimits& limits, std::optional<ValueOutOfRange>& first);

// Why limits typed for a table cannot be taken (not finite, low above high, beyond the
// storage range), in the user's words; empty when they can.
std::string WarningLimitsProblem(const FirmwareImage& image, MapKind kind,
                                 const WarningLimits& limits, const std::string& decimalSeparator);
