#include "maps/nearest_raw.h"

#include "image/firmware_image.h"
#include "maps/cell_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Candidate search over 0..top with the value function of one cell.
template <typename ValueOf>
int32_t Search(ValueOf valueOf, int32_t top, int32_t current, double target, bool* clamped) {
    if (clamped)
        *clamped = false;
    if (std::isnan(target))
        return current;
    int32_t best = -1;
    double bestValue = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    for (int32_t raw = 0; raw <= top; ++raw) {
        const double v = valueOf(raw);
        if (std::isnan(v))
            continue;
        if (std::isfinite(v)) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        // Equal infinities are no distance apart; fabs would give NaN.
        const double distance = v == target ? 0.0 : std::fabs(v - target);
        if (best < 0 || distance < bestDistance ||
            (distance == bestDistance && std::abs(raw - current) < std::abs(best - current))) {
            best = raw;
            bestValue = v;
            bestDistance = distance;
        }
    }
    if (best < 0)
        return current;
    if (clamped)
        *clamped = bestValue != target && (target < lowest || target > highest);
    return best;
}

// The same choice for a value function that never falls as the stored value rises, found by
// bisection: the nearest values sit just below and at the first stored value that reaches the
// target, and the stored values that show them form one run, from which the one nearest the
// current value is taken.
template <typename ValueOf>
int32_t RisingSearch(ValueOf valueOf, int32_t top, int32_t current, double target, bool* clamped) {
    if (clamped)
        *clamped = false;
    if (std::isnan(target))
        return current;
    int32_t lo = 0, hi = top + 1;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (valueOf(mid) < target)
            lo = mid + 1;
        else
            hi = mid;
    }
    const bool haveBelow = lo > 0, haveAbove = lo <= top;
    const double inf = std::numeric_limits<double>::infinity();
    const double below = haveBelow ? target - valueOf(lo - 1) : inf;
    const double above = haveAbove ? valueOf(lo) - target : inf;
    const double nearest = std::min(below, above);
    // The runs showing the value below and the value at lo meet, so their union is one run.
    int32_t first = lo, last = -1;
    if (haveBelow && below == nearest) {
        first = last = lo - 1;
        while (first > 0 && valueOf(first - 1) == valueOf(lo - 1))
            --first;
    }
    if (haveAbove && above == nearest) {
        last = lo;
        while (last < top && valueOf(last + 1) == valueOf(lo))
            ++last;
    }
    if (clamped)
        *clamped = target < valueOf(0) || target > valueOf(top);
    return std::clamp(current, first, last);
}

} // namespace

double CellValueForRaw(const FirmwareImage& image, MapKind kind, int r, int c, int32_t raw) {
    return GetMapInfo(kind).codeValue(image, r, c, raw);
}

int32_t NearestRaw(const FirmwareImage& image, MapKind kind, int row, int col, double value,
                   bool* clamped) {
    const MapInfo& info = GetMapInfo(kind);
    const MapStorage& storage = info.storage;
    const int32_t current =
        ReadCellRaw(image, storage.width, MapCellAddress(image, kind, row, col), 0);
    auto valueOf = [&](int32_t raw) { return info.codeValue(image, row, col, raw); };
    // A word's 65 536 codes are bisected: the one word table shows a rounded air flow that rises
    // with its code (the catalogue's tests hold every word table to that).
    if (storage.width == CellWidthKind::Word)
        return RisingSearch(valueOf, HighestCode(storage), current, value, clamped);
    return Search(valueOf, HighestCode(storage), current, value, clamped);
}

MapLimits CellLimits(const FirmwareImage& image, MapKind kind, int row, int col) {
    const MapInfo& info = GetMapInfo(kind);
    if (info.limits.fixed)
        return info.limits;
    const double inf = std::numeric_limits<double>::infinity();
    MapLimits limits{false, inf, -inf};
    for (int32_t code = LowestCode(info.storage); code <= HighestCode(info.storage); ++code) {
        const double v = info.codeValue(image, row, col, code);
        if (std::isfinite(v)) {
            limits.min = std::min(limits.min, v);
            limits.max = std::max(limits.max, v);
        }
    }
    return limits;
}
