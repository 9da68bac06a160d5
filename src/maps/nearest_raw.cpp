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
    return Search([&](int32_t raw) { return CellValueForRaw(image, kind, row, col, raw); },
                  info.width == CellWidthKind::Word ? 0xFFFF : 0xFF, current, value, clamped);
}
