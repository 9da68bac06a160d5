#pragma once

#include "maps/map_operations.h"

#include <string>

class FirmwareImage;

// The names the edit history gives edits of a table, so that the list of steps says what each
// did and where: the table, the cells by the values of their axes, and the operation with its
// number in the table's unit. Texts are UTF-8.

// "УОЗ 1500–2250 × 71–185: +2,0°"; the rectangle is cut to the table first.
std::string MapEditName(const FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                        double operand, const std::string& decimalSeparator);

// "УОЗ 1500–2250 × 71–185: эталон +2,0°": cells set to the reference's values plus a difference.
std::string DifferenceEditName(const FirmwareImage& image, MapKind kind, CellRect rect,
                               double delta, const std::string& decimalSeparator);

// "Вставка 6 ячеек в УОЗ".
std::string PasteEditName(MapKind kind, int cells);
