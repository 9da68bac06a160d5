#include "demo_image.h"
#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/nearest_raw.h"
#include "maps/warning_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the cell shows for every stored value, found the slow way: store it, decode, read the
// table. The stored value is put back afterwards.
std::vector<double> DecodedForEveryRaw(FirmwareImage& image, MapKind kind, int r, int c) {
    const CellWidthKind width = GetMapInfo(kind).storage.width;
    const int32_t address = MapCellAddress(image, kind, r, c);
    const int32_t before = ReadCellRaw(image, width, address, 0);
    std::vector<double> shown;
    for (int32_t raw = 0; raw <= (width == CellWidthKind::Word ? 0xFFFF : 0xFF); ++raw) {
        WriteCellRaw(image, width, address, raw);
        shown.push_back(MapValue(image, kind, r, c));
    }
    WriteCellRaw(image, width, address, before);
    return shown;
}

double Distance(double shown, double target) {
    return shown == target ? 0.0 : std::fabs(shown - target); // equal infinities: no distance
}

// The rule as a user sees it, checked over every stored value: the stored value whose shown
// value lies nearest the wanted one; of equally near ones the one closest to the value stored
// now, and of two equally close to it the lower. Values that show as NaN are never chosen.
int32_t Exhaustive(const std::vector<double>& shown, int32_t current, double target) {
    double nearest = std::numeric_limits<double>::infinity();
    for (double v : shown)
        if (!std::isnan(v))
            nearest = std::min(nearest, Distance(v, target));
    std::vector<int32_t> candidates;
    for (int32_t raw = 0; raw < static_cast<int32_t>(shown.size()); ++raw)
        if (!std::isnan(shown[raw]) && Distance(shown[raw], target) == nearest)
            candidates.push_back(raw);
    if (candidates.empty())
        return current;
    std::sort(candidates.begin(), candidates.end(), [current](int32_t x, int32_t y) {
        const int32_t dx = std::abs(x - current), dy = std::abs(y - current);
        return dx != dy ? dx < dy : x < y;
    });
    return candidates.front();
}

void CheckCell(FirmwareImage& image, MapKind kind, int r, int c) {
    SCOPED_TRACE(std::string(GetMapInfo(kind).name) + " " + std::to_string(r) + "," +
                 std::to_string(c));
    const std::vector<double> shown = DecodedForEveryRaw(image, kind, r, c);
    const int32_t current =
        ReadCellRaw(image, GetMapInfo(kind).storage.width, MapCellAddress(image, kind, r, c), 0);
    std::vector<double> finite;
    for (double v : shown)
        if (std::isfinite(v))
            finite.push_back(v);
    std::sort(finite.begin(), finite.end());
    // Every shown value, the points halfway between neighbours (ties) and just off them; the
    // word table is sampled.
    const size_t stride = shown.size() > 256 ? 4099 : 1;
    std::vector<double> targets;
    auto around = [&](double low, double high) {
        const double mid = (low + high) / 2;
        targets.insert(targets.end(),
                       {low, high, mid, std::nextafter(mid, -1e9), std::nextafter(mid, 1e9)});
    };
    for (size_t i = 0; i + 1 < finite.size(); i += stride)
        around(finite[i], finite[i + 1]);
    // The top of the range, where the word table's 0xFFFF sits, is always looked at.
    const auto below =
        std::find_if(finite.rbegin(), finite.rend(), [&](double v) { return v < finite.back(); });
    if (below != finite.rend())
        around(*below, finite.back());
    for (const double t : targets) {
        bool clamped = true;
        ASSERT_EQ(NearestRaw(image, kind, r, c, t, &clamped), Exhaustive(shown, current, t)) << t;
        EXPECT_FALSE(clamped) << t;
    }
    bool clamped = false;
    EXPECT_EQ(NearestRaw(image, kind, r, c, finite.front() - 7, &clamped),
              Exhaustive(shown, current, finite.front() - 7));
    EXPECT_TRUE(clamped);
    EXPECT_EQ(NearestRaw(image, kind, r, c, finite.back() + 7, &clamped),
              Exhaustive(shown, current, finite.back() + 7));
    EXPECT_TRUE(clamped);
    EXPECT_EQ(NearestRaw(image, kind, r, c, std::nan(""), &clamped), current);
    EXPECT_FALSE(clamped);
}

} // namespace

// The last stored value of the word table is reachable and kept: a stored 0xFFFF stays when
// its own value or anything above is wanted.
TEST(NearestRaw, TheTopOfTheWordTableIsReachable) {
    FirmwareImage image;
    BuildDemoImage(image);
    const int32_t address = MapCellAddress(image, MapKind::Pmax, 4, 0);
    WriteCellRaw(image, CellWidthKind::Word, address, 0xFFFF);
    image.Decode();
    const double top = MapValue(image, MapKind::Pmax, 4, 0);
    bool clamped = true;
    EXPECT_EQ(NearestRaw(image, MapKind::Pmax, 4, 0, top, &clamped), 0xFFFF);
    EXPECT_FALSE(clamped);
    EXPECT_EQ(NearestRaw(image, MapKind::Pmax, 4, 0, top * 2, &clamped), 0xFFFF);
    EXPECT_TRUE(clamped);
}

TEST(NearestRaw, AgreesWithAnExhaustiveSearchThroughDecodeForEveryMapKind) {
    FirmwareImage image;
    BuildDemoImage(image);
    for (const bool o2 : {false, true}) {
        image.UseO2Maps = o2;
        image.Decode();
        for (const MapInfo& info : MapCatalogue()) {
            // The word table is the same in both map sets, and slow to decode 65 536 times.
            if (info.kind == MapKind::Pmax) {
                if (!o2)
                    CheckCell(image, info.kind, 11, 0);
                continue;
            }
            CheckCell(image, info.kind, 0, 0);
            CheckCell(image, info.kind, info.rows - 1, info.cols - 1);
            CheckCell(image, info.kind, info.rows / 2, info.cols / 3);
        }
    }
}

// A value is clamped exactly when it lies beyond the cell's limits; for the tables with a fixed
// range those are the catalogue row's.
TEST(CellLimits, MarkWhereTheValueSearchStartsToClamp) {
    FirmwareImage image;
    BuildDemoImage(image);
    const double inf = std::numeric_limits<double>::infinity();
    for (const MapInfo& info : MapCatalogue())
        for (const auto& [r, c] : {std::pair{0, 0}, std::pair{info.rows - 1, info.cols - 1}}) {
            SCOPED_TRACE(std::string(info.name) + " " + std::to_string(r) + "," +
                         std::to_string(c));
            const MapLimits limits = CellLimits(image, info.kind, r, c);
            ASSERT_LT(limits.min, limits.max);
            EXPECT_EQ(limits.fixed, info.limits.fixed);
            if (info.limits.fixed) {
                EXPECT_EQ(limits.min, info.limits.min);
                EXPECT_EQ(limits.max, info.limits.max);
            }
            for (const auto& [value, beyond] :
                 {std::pair{limits.min, false}, std::pair{limits.max, false},
                  std::pair{std::nextafter(limits.min, -inf), true},
                  std::pair{std::nextafter(limits.max, inf), true}}) {
                bool clamped = !beyond;
                NearestRaw(image, info.kind, r, c, value, &clamped);
                EXPECT_EQ(clamped, beyond) << value;
            }
        }
}

// Warning limits count a value as beyond only when it shows beyond them with the table's
// decimals, and limits the user types must lie within the storage range.
TEST(WarningLimits, CountWithTheShownDecimalsAndCheckTypedLimits) {
    FirmwareImage image;
    BuildDemoImage(image);
    const WarningLimits limits{0, 40};
    const CellValues values = {{39.0, 40.04, std::nullopt}, {40.06, -0.1, 20.0}};
    std::optional<ValueOutOfRange> first;
    EXPECT_EQ(CountBeyondWarning(MapKind::Uoz, 2, 3, values, limits, first), 2);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->row, 3);
    EXPECT_EQ(first->col, 3);
    EXPECT_EQ(first->limits.max, 40);
    EXPECT_EQ(CountBeyondWarning(MapKind::Uoz, 2, 3, {{10.0}}, limits, first), 0);
    EXPECT_FALSE(first.has_value()); // nothing left of the last count

    const MapLimits storage = StorageRange(image, MapKind::Uoz);
    EXPECT_EQ(storage.min, 0);
    EXPECT_EQ(storage.max, 127.5);
    EXPECT_EQ(WarningLimitsProblem(image, MapKind::Uoz, {0, 127.5}, ","), "");
    EXPECT_NE(WarningLimitsProblem(image, MapKind::Uoz, {0, 128}, ",").find("от 0,0 до 127,5"),
              std::string::npos);
    EXPECT_FALSE(WarningLimitsProblem(image, MapKind::Uoz, {5, 4}, ",").empty());
    EXPECT_FALSE(
        WarningLimitsProblem(image, MapKind::Uoz, {0, std::numeric_limits<double>::infinity()}, ",")
            .empty());
}
