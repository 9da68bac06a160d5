#include "maps/edit_names.h"

#include "maps/table_text.h"

namespace {

const char* const Dash = "\u2013";

std::string AxisSpan(long first, long last) {
    return first == last ? std::to_string(first)
                         : std::to_string(first) + Dash + std::to_string(last);
}

// Where the cells lie: the span of the row axis, then that of the column axis when the table
// has one ("1500–2250 × 71–185").
std::string CellsText(const FirmwareImage& image, MapKind kind, const CellRect& rect) {
    const MapInfo& info = GetMapInfo(kind);
    std::string text =
        AxisSpan(MapRowLabel(image, kind, rect.top), MapRowLabel(image, kind, rect.bottom));
    if (info.colAxis != MapAxis::None)
        text += " \u00d7 " +
                AxisSpan(MapColLabel(image, kind, rect.left), MapColLabel(image, kind, rect.right));
    return text;
}

// A value with the table's decimals and its unit; a sign when asked for.
std::string ValueText(MapKind kind, double value, bool sign, const std::string& separator) {
    const MapInfo& info = GetMapInfo(kind);
    std::string text = FormatMapNumber(value, info.decimals, separator);
    if (sign && value >= 0 && text.rfind('-', 0) != 0)
        text = "+" + text;
    const std::string unit = info.unit;
    if (unit.empty())
        return text;
    // Degrees and percent follow the number directly, other units after a space.
    return unit == "\u00b0" || unit == "%" ? text + unit : text + " " + unit;
}

std::string OperationText(MapKind kind, MapOperation op, double operand,
                          const std::string& separator) {
    switch (op) {
    case MapOperation::SetValue:
        return "= " + ValueText(kind, operand, false, separator);
    case MapOperation::Add:
        return ValueText(kind, operand, true, separator);
    case MapOperation::MultiplyPercent: {
        std::string percent = ShortestNumberText(operand);
        const std::size_t dot = percent.find('.');
        if (dot != std::string::npos)
            percent.replace(dot, 1, separator);
        return "\u00d7 " + percent + " %";
    }
    case MapOperation::InterpolateRows:
        return "интерполяция по строкам";
    case MapOperation::InterpolateColumns:
        return "интерполяция по столбцам";
    case MapOperation::InterpolateRect:
        return "интерполяция по прямоугольнику";
    case MapOperation::Smooth:
        return "сглаживание";
    }
    return {};
}

} // namespace

namespace {

// "TABLE CELLS: WHAT"; just the table when the rectangle lies wholly outside it.
std::string Named(const FirmwareImage& image, MapKind kind, CellRect rect,
                  const std::string& what) {
    rect = ClipToTable(kind, rect);
    const std::string table = GetMapInfo(kind).caption;
    if (rect.bottom < rect.top)
        return table;
    return table + " " + CellsText(image, kind, rect) + ": " + what;
}

} // namespace

std::string MapEditName(const FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                        double operand, const std::string& decimalSeparator) {
    return Named(image, kind, rect, OperationText(kind, op, operand, decimalSeparator));
}

std::string DifferenceEditName(const FirmwareImage& image, MapKind kind, CellRect rect,
                               double delta, const std::string& decimalSeparator) {
    return Named(image, kind, rect, "эталон " + ValueText(kind, delta, true, decimalSeparator));
}

std::string PasteEditName(MapKind kind, int cells) {
    const bool one = cells % 10 == 1 && cells % 100 != 11;
    return "Вставка " + std::to_string(cells) + (one ? " ячейки в " : " ячеек в ") +
           GetMapInfo(kind).caption;
}
