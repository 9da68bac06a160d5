#include "comma_locale.h"
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "maps/map_catalogue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

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
        SCOPED_TRACE(info.menuCaption);
        EXPECT_EQ(info.kind, e.kind);
        EXPECT_EQ(info.rows, e.rows);
        EXPECT_EQ(info.cols, e.cols);
        EXPECT_EQ(info.corner, e.corner);
        EXPECT_EQ(info.decimals, e.decimals);
        EXPECT_EQ(info.width, e.width);
        EXPECT_EQ(info.mark, e.mark);
        captions.insert(info.menuCaption);
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
