#include "maps/nearest_raw.h"

#include "image/decode_formulas.h"
#include "image/firmware_image.h"
#include "maps/cell_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <stdexcept>

using namespace decode_formulas;

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
    const auto b = static_cast<uint8_t>(raw);
    switch (kind) {
    case MapKind::Uoz:
    case MapKind::CoefCorUoz:
        return HalfDegreeValue(b);
    case MapKind::Tau:
        return TauValue(b, image.PRaw[c], image.TauBase);
    case MapKind::Lambda:
        return LambdaValue(image.P[c], TauValue(b, image.PRaw[c], image.TauBase),
                           image.InjectorOffset, image.InjectorGain, image.StoichRatio);
    case MapKind::CoefCorTau:
    case MapKind::Rcod:
        return Fraction256Value(b);
    case MapKind::CorUoz:
        return CorUozValue(image.FullLoad[r].Uoz, HalfDegreeValue(b));
    case MapKind::CorTau:
        return CorTauValue(image.FullLoad[r].Tau, Fraction256Value(b));
    case MapKind::Pmax:
        return RoundedAirFlow(static_cast<uint16_t>(raw));
    case MapKind::Drmax:
        return DrmaxValue(b);
    }
    throw std::out_of_range("map kind");
}

int32_t NearestRaw(const FirmwareImage& image, MapKind kind, int row, int col, double value,
                   bool* clamped) {
    const MapInfo& info = GetMapInfo(kind);
    const int32_t current =
        ReadCellRaw(image, info.width, MapCellAddress(image, kind, row, col), 0);
    // The one word table shows a rounded, rising air flow; its 65 536 candidates are bisected.
    if (kind == MapKind::Pmax)
        return RisingSearch(
            [](int32_t raw) {
                return static_cast<double>(RoundedAirFlow(static_cast<uint16_t>(raw)));
            },
            0xFFFF, current, value, clamped);
    return Search([&](int32_t raw) { return CellValueForRaw(image, kind, row, col, raw); }, 0xFF,
                  current, value, clamped);
}
