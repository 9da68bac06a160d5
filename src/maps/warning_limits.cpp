#include "maps/warning_limits.h"

#include "maps/nearest_raw.h"

#include <algorithm>
#include <cmath>

namespace {

// Half a unit of the last shown decimal: a value that shows as the limit is within it.
double Slack(MapKind kind) {
    const int decimals = GetMapInfo(kind).decimals;
    return 0.5 * std::pow(10.0, -(decimals < 0 ? 0 : decimals));
}

} // namespace

MapLimits StorageRange(const FirmwareImage& image, MapKind kind) {
    const MapInfo& info = GetMapInfo(kind);
    if (info.limits.fixed)
        return info.limits;
    MapLimits range{false, 0, 0};
    bool any = false;
    for (int r = 0; r < info.rows; ++r)
        for (int c = 0; c < info.cols; ++c) {
            const MapLimits cell = CellLimits(image, kind, r, c);
            if (cell.min > cell.max)
                continue;
            range.min = any ? std::min(range.min, cell.min) : cell.min;
            range.max = any ? std::max(range.max, cell.max) : cell.max;
            any = true;
        }
    if (!any)
        range = {false, 1, 0}; // no cell can show a finite value
    return range;
}

int CountBeyondWarning(MapKind kind, int top, int left, const CellValues& values,
                       const WarningLimits& limits, std::optional<ValueOutOfRange>& first) {
    const double slack = Slack(kind);
    int count = 0;
    first.reset();
    ForEachFiniteValue(kind, top, left, values, [&](int r, int c, double v) {
        if ((v < limits.low - slack || v > limits.high + slack) && count++ == 0)
            first = ValueOutOfRange{r, c, v, MapLimits{true, limits.low, limits.high}};
    });
    return count;
}

std::string WarningLimitsProblem(const FirmwareImage& image, MapKind kind,
                                 const WarningLimits& limits, const std::string& decimalSeparator) {
    if (!std::isfinite(limits.low) || !std::isfinite(limits.high))
        return "пределы должны быть числами";
    if (limits.low > limits.high)
        return "нижний предел больше верхнего";
    const MapLimits storage = StorageRange(image, kind);
    const double slack = Slack(kind);
    if (storage.min <= storage.max &&
        (limits.low < storage.min - slack || limits.high > storage.max + slack))
        return "пределы выходят за диапазон хранения (" +
               RangeText(kind, storage, decimalSeparator) + ")";
    return {};
}
