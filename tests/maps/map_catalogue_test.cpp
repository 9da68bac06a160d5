#include "comma_locale.h"
#include "demo_image.h"
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "maps/cell_edit.h"
#include "maps/map_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

TEST(FormatMapNumber, FixedPatternsRoundHalfAwayFromZeroWithTheGivenSeparator) {
    EXPECT_EQ(FormatMapNumber(10.5, 1, ","), "10,5");
    EXPECT_EQ(FormatMapNumber(10.0, 1, "."), "10.0");
    EXPECT_EQ(FormatMapNumber(0.125, 2, ","), "0,13"); // 1/8 is exact: half goes up
    EXPECT_EQ(FormatMapNumber(-0.125, 2, ","), "-0,13");
    EXPECT_EQ(FormatMapNumber(1.0 / 256, 3, ","), "0,004");
    EXPECT_EQ(FormatMapNumber(255.0 / 256, 3, ","), "0,996");
    EXPECT_EQ(FormatMapNumber(-3.5, 2, ","), "-3,50");
    EXPECT_EQ(FormatMapNumber(2.5, 0, ","), "3");
    EXPECT_EQ(FormatMapNumber(-33.8, 0, ","), "-34");
    EXPECT_EQ(FormatMapNumber(58253, -1, ","), "58253");
}

// A Russian desktop puts the C library into a comma locale; the texts must not change.
TEST(FormatMapNumber, TextsDoNotDependOnTheCLibraryLocale) {
    const CommaLocale comma;
    if (!comma.ok())
        GTEST_SKIP() << CommaLocale::Missing;
    EXPECT_EQ(FormatMapNumber(10.0, 1, "."), "10.0");
    EXPECT_EQ(FormatMapNumber(-0.125, 2, ","), "-0,13");
    EXPECT_EQ(FormatMapNumber(255.0 / 256, 3, "."), "0.996");
}

TEST(FormatMapNumber, NonFiniteAndNegativeZero) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatMapNumber(inf, 3, ","), "INF");
    EXPECT_EQ(FormatMapNumber(-inf, 3, ","), "-INF");
    EXPECT_EQ(FormatMapNumber(std::nan(""), 3, ","), "NAN");
    EXPECT_EQ(FormatMapNumber(-0.0001, 2, ","), "0,00");
    EXPECT_EQ(FormatMapNumber(-0.0, 0, ","), "0");
    EXPECT_NE(FormatMapNumber(1e300, 3, ".").find("1000000"), std::string::npos);
}

TEST(MapCatalogue, SizesFormatsAndWidthsOfAllKinds) {
    struct Row {
        MapKind kind;
        int rows, cols;
        std::string corner;
        int decimals;
        CellWidthKind width;
        MarkRule mark;
    };
    const Row expected[] = {
        {MapKind::Uoz, 39, 22, "N\\P", 1, CellWidthKind::Byte, MarkRule::Set},
        {MapKind::Tau, 39, 22, "N\\P", 2, CellWidthKind::Byte, MarkRule::Set},
        {MapKind::CoefCorUoz, 39, 7, "N\\Dr", 1, CellWidthKind::Byte, MarkRule::Flip},
        {MapKind::CoefCorTau, 39, 7, "N\\Dr", 3, CellWidthKind::Byte, MarkRule::Flip},
        {MapKind::CorUoz, 39, 7, "N\\Dr", 2, CellWidthKind::Byte, MarkRule::Flip},
        {MapKind::CorTau, 39, 7, "N\\Dr", 2, CellWidthKind::Byte, MarkRule::Flip},
        {MapKind::Pmax, 39, 1, "Nuz", -1, CellWidthKind::Word, MarkRule::Never},
        {MapKind::Lambda, 39, 22, "N\\P", 3, CellWidthKind::Byte, MarkRule::Set},
        {MapKind::Rcod, 10, 11, "N\\P", 3, CellWidthKind::Byte, MarkRule::Set},
        {MapKind::Drmax, 39, 1, "Nuz", 0, CellWidthKind::Byte, MarkRule::Never},
    };
    std::set<std::string> captions;
    for (const Row& e : expected) {
        const MapInfo& info = GetMapInfo(e.kind);
        SCOPED_TRACE(info.caption);
        EXPECT_EQ(info.kind, e.kind);
        EXPECT_EQ(info.rows, e.rows);
        EXPECT_EQ(info.cols, e.cols);
        EXPECT_EQ(info.corner, e.corner);
        EXPECT_EQ(info.decimals, e.decimals);
        EXPECT_EQ(info.storage.width, e.width);
        EXPECT_EQ(info.mark, e.mark);
        captions.insert(info.caption);
    }
    EXPECT_EQ(captions.size(), 10u);
    EXPECT_STREQ(GetMapInfo(MapKind::Pmax).columnTitle, "Pmax");
    EXPECT_STREQ(GetMapInfo(MapKind::Drmax).columnTitle, "Drmax");
    EXPECT_THROW(GetMapInfo(static_cast<MapKind>(10)), std::out_of_range);
}

class CatalogueOnImage : public ::testing::Test {
protected:
    void SetUp() override { image.ReplaceData(PatternBytes(7, 3).data()); }
    FirmwareImage image;
};

TEST_F(CatalogueOnImage, CellTextsUseTheTablesFormat) {
    image.WriteByte(image.AddrMainMap + 1, 21); // Uoz (0,0) = 10.5
    image.WriteWord(image.AddrPmax, 15);        // shows trunc(15 * 8 / 9 + 0.5) = 13
    EXPECT_EQ(FormatMapCell(image, MapKind::Uoz, 0, 0, ","), "10,5");
    EXPECT_EQ(FormatMapCell(image, MapKind::Pmax, 0, 0, ","), "13");
    const std::string drmax = FormatMapCell(image, MapKind::Drmax, 0, 0, ",");
    EXPECT_EQ(drmax.find(','), std::string::npos);
    const std::string rcod = FormatMapCell(image, MapKind::Rcod, 0, 0, ",");
    EXPECT_EQ(rcod.size() - rcod.find(','), 4u); // three decimals
}

namespace {

// The value a code shows on a row's storage line: code * step + zero, rounded where stored so.
double OnStorageLine(const MapStorage& s, int32_t code) {
    const double v = code * s.step + s.zero;
    return s.rounded ? std::floor(v + 0.5) : v;
}

class CatalogueRows : public ::testing::Test {
protected:
    void SetUp() override { BuildDemoImage(image); }
    FirmwareImage image;
};

} // namespace

// The limits are what the lowest and highest stored code decode to, in the map's units; every
// code's value lies between them.
TEST_F(CatalogueRows, FixedLimitsAreTheStorageRangeInTheMapsUnits) {
    for (const MapInfo& info : MapCatalogue()) {
        SCOPED_TRACE(info.name);
        const MapStorage& s = info.storage;
        EXPECT_EQ(info.limits.fixed, !std::isnan(s.zero));
        if (!info.limits.fixed) {
            EXPECT_EQ(info.limits.min, -std::numeric_limits<double>::infinity());
            EXPECT_EQ(info.limits.max, std::numeric_limits<double>::infinity());
            continue;
        }
        EXPECT_DOUBLE_EQ(info.limits.min, OnStorageLine(s, LowestCode(s)));
        EXPECT_DOUBLE_EQ(info.limits.max, OnStorageLine(s, HighestCode(s)));
        for (const int r : {0, info.rows - 1}) {
            const int c = info.cols - 1;
            const int32_t address = MapCellAddress(image, info.kind, r, c);
            for (const auto& [code, limit] : {std::pair{LowestCode(s), info.limits.min},
                                              std::pair{HighestCode(s), info.limits.max}}) {
                WriteCellRaw(image, s.width, address, code);
                EXPECT_EQ(MapValue(image, info.kind, r, c), limit) << code;
            }
        }
        for (int32_t code = LowestCode(s); code <= HighestCode(s); ++code) {
            const double v = info.codeValue(image, 0, 0, code);
            ASSERT_TRUE(v >= info.limits.min && v <= info.limits.max) << code;
        }
    }
}

// A row's step is the change per code in every cell; a step of 0 says the cells differ, and a
// NaN zero says code 0 shows differently in different cells.
TEST_F(CatalogueRows, StepAndZeroHoldInEveryCell) {
    for (const MapInfo& info : MapCatalogue()) {
        SCOPED_TRACE(info.name);
        const MapStorage& s = info.storage;
        std::set<double> steps, zeros;
        for (const auto& [r, c] : {std::pair{0, 0}, std::pair{info.rows / 2, info.cols / 3},
                                   std::pair{info.rows - 1, info.cols - 1}})
            for (const int32_t code : {0, 40, 200}) {
                const double from = info.codeValue(image, r, c, code);
                const double step = info.codeValue(image, r, c, code + 1) - from;
                if (s.step != 0 && !s.rounded) {
                    EXPECT_NEAR(step, s.step, 1e-9) << r << "," << c << " code " << code;
                }
                steps.insert(step);
                zeros.insert(info.codeValue(image, r, c, 0));
            }
        if (s.step == 0) {
            EXPECT_GT(steps.size(), 1u);
        }
        EXPECT_EQ(zeros.size() > 1, std::isnan(s.zero));
    }
}

// The value search bisects a word's codes: a word table's value must never fall as its code
// rises.
TEST_F(CatalogueRows, WordTablesRiseWithTheirCode) {
    for (const MapInfo& info : MapCatalogue()) {
        if (info.storage.width != CellWidthKind::Word)
            continue;
        for (int32_t code = LowestCode(info.storage); code < HighestCode(info.storage); ++code) {
            ASSERT_LE(info.codeValue(image, 0, 0, code), info.codeValue(image, 0, 0, code + 1))
                << info.name << " " << code;
        }
    }
}

TEST_F(CatalogueRows, EveryCellHasItsOwnStoredPlaceInsideTheImage) {
    for (const bool o2 : {false, true}) {
        image.UseO2Maps = o2;
        for (const MapInfo& info : MapCatalogue()) {
            std::set<int32_t> places;
            const int bytes = info.storage.width == CellWidthKind::Word ? 2 : 1;
            for (int r = 0; r < info.rows; ++r)
                for (int c = 0; c < info.cols; ++c) {
                    const int32_t a = MapCellAddress(image, info.kind, r, c);
                    ASSERT_GE(a, 0) << info.name;
                    ASSERT_LE(a + bytes, static_cast<int32_t>(FirmwareImage::Size)) << info.name;
                    for (int b = 0; b < bytes; ++b)
                        EXPECT_TRUE(places.insert(a + b).second)
                            << info.name << " " << r << "," << c;
                }
        }
    }
}

TEST(MapCatalogue, NamesCaptionsMenuTextsAndShortcutsAreUnique) {
    std::set<std::string> names, captions, menuTexts, shortcuts;
    int withShortcut = 0;
    for (const MapInfo& info : MapCatalogue()) {
        EXPECT_NE(*info.caption, '\0');
        EXPECT_NE(*info.menuText, '\0');
        names.insert(info.name);
        captions.insert(info.caption);
        menuTexts.insert(info.menuText);
        if (*info.shortcut != '\0') {
            shortcuts.insert(info.shortcut);
            ++withShortcut;
        }
        // A surface's extra line has a value to follow, and only then.
        EXPECT_EQ(info.look.extra != SurfaceExtraLine::None, info.look.extraValue != nullptr);
    }
    EXPECT_EQ(names.size(), size_t{MapKindCount});
    EXPECT_EQ(captions.size(), size_t{MapKindCount});
    EXPECT_EQ(menuTexts.size(), size_t{MapKindCount});
    EXPECT_EQ(shortcuts.size(), static_cast<size_t>(withShortcut));
}

TEST(MapCatalogue, MenuListsTheMarkedKindsThenTheOneColumnTables) {
    std::vector<MapKind> order;
    for (const MapInfo* info : MapMenuOrder())
        order.push_back(info->kind);
    using K = MapKind;
    EXPECT_EQ(order, (std::vector<MapKind>{K::Uoz, K::Tau, K::CoefCorUoz, K::CoefCorTau, K::CorUoz,
                                           K::CorTau, K::Lambda, K::Rcod, K::Pmax, K::Drmax}));
}
