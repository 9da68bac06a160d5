#include "maps/value_range.h"

#include "maps/nearest_raw.h"

#include <cmath>

bool BeyondCellRange(const FirmwareImage& image, MapKind kind, int row, int col, double value,
                     MapLimits& limits) {
    limits = CellLimits(image, kind, row, col);
    if (!std::isfinite(value)) {
        // A NaN or infinite cell given back as it shows (a table read out and stored again)
        // changes nothing.
        const double now = MapValue(image, kind, row, col);
        return !(std::isnan(value) ? std::isnan(now) : value == now);
    }
    const int decimals = GetMapInfo(kind).decimals;
    const double slack = 0.5 * std::pow(10.0, -(decimals < 0 ? 0 : decimals));
    return !(value >= limits.min - slack && value <= limits.max + slack);
}

std::optional<ValueOutOfRange> FindValueOutOfRange(const FirmwareImage& image, MapKind kind,
                                                   int top, int left, const CellValues& values) {
    const MapInfo& info = GetMapInfo(kind);
    for (size_t i = 0; i < values.size(); ++i)
        for (size_t j = 0; j < values[i].size(); ++j) {
            const int r = top + static_cast<int>(i), c = left + static_cast<int>(j);
            if (!values[i][j] || r < 0 || c < 0 || r >= info.rows || c >= info.cols)
                continue;
            MapLimits limits{};
            if (BeyondCellRange(image, kind, r, c, *values[i][j], limits))
                return ValueOutOfRange{r, c, *values[i][j], limits};
        }
    return std::nullopt;
}

std::optional<ValueOutOfRange> FindValueOutOfRange(const FirmwareImage& image, MapKind kind,
                                                   CellRect rect, double value) {
    rect = ClipToTable(kind, rect);
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c) {
            MapLimits limits{};
            if (BeyondCellRange(image, kind, r, c, value, limits))
                return ValueOutOfRange{r, c, value, limits};
        }
    return std::nullopt;
}

int CountFiniteOutOfRange(const FirmwareImage& image, MapKind kind, int top, int left,
                          const CellValues& values, std::optional<ValueOutOfRange>& first) {
    int count = 0;
    first.reset();
    ForEachFiniteValue(kind, top, left, values, [&](int r, int c, double v) {
        MapLimits limits{};
        if (BeyondCellRange(image, kind, r, c, v, limits) && count++ == 0)
            first = ValueOutOfRange{r, c, v, limits};
    });
    return count;
}

std::string RangeText(MapKind kind, const MapLimits& limits, const std::string& decimalSeparator) {
    const MapInfo& info = GetMapInfo(kind);
    if (limits.min > limits.max)
        return "нет: ячейка не может хранить конечное значение";
    std::string text = "от " + FormatMapNumber(limits.min, info.decimals, decimalSeparator) +
                       " до " + FormatMapNumber(limits.max, info.decimals, decimalSeparator);
    if (*info.unit)
        text += std::string(" ") + info.unit;
    return text;
}
