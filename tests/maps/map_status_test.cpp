#include "image/firmware_image.h"
#include "maps/map_status.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MapStatus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(image.LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex").complete);
    }
    FirmwareImage image;
};

} // namespace

TEST_F(MapStatus, NamesMapSetCellValueCodeAddressAndChecksum) {
    EXPECT_EQ(MapStatusText(image, MapKind::Uoz, 2, 3, ","),
              "УОЗ, без датчика кислорода  |  N 775 об/мин, P 128: 13,5 °  |  код 27, адрес "
              "0x70AF  |  контрольная сумма верна");
    EXPECT_EQ(MapStatusText(image, MapKind::Pmax, 4, 0, ","),
              "Максимальный цикловой расход воздуха, без датчика кислорода  |  N 975 об/мин: 425  "
              "|  код 478, адрес 0x6892  |  контрольная сумма верна");
    EXPECT_EQ(MapStatusText(image, MapKind::CoefCorTau, 1, 6, "."),
              "Коэффициент коррекции топливоподачи по оборотам и дросселю, без датчика кислорода  "
              "|  N 675 об/мин, Dr 100 %: 0.105  |  код 27, адрес 0x6FF6  |  контрольная "
              "сумма верна");

    // The other map set moves the cell to its own storage; a cell outside the table leaves the
    // cell's parts out; a changed byte makes the stored checksum disagree.
    image.UseO2Maps = true;
    image.Decode();
    EXPECT_EQ(MapStatusText(image, MapKind::Uoz, 2, 3, ","),
              "УОЗ, с датчиком кислорода  |  N 775 об/мин, P 128: 13,5 °  |  код 27, адрес "
              "0x776F  |  контрольная сумма верна");
    image.WriteByte(0x6000, static_cast<uint8_t>(image.ReadByte(0x6000) + 1));
    EXPECT_EQ(MapStatusText(image, MapKind::Rcod, 10, 0, ","),
              "Чувствительность RCOD, с датчиком кислорода  |  контрольная сумма не совпадает: "
              "записана 0x2FA2, по данным 0x2FA3");
}

// A selection of several cells is summed up over the cells inside the table; a single cell is
// not (the line above shows it).
TEST_F(MapStatus, SummarisesASelectionOfSeveralCells) {
    StoreMapValues(image, MapKind::Uoz, 0, 20, CellValues{{10.0, 12.5}, {20.0, 30.0}});
    // The rectangle reaches past the last column; only the four cells inside count.
    const std::optional<CellSummary> summary = SummariseCells(image, MapKind::Uoz, {0, 20, 1, 25});
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->count, 4);
    EXPECT_DOUBLE_EQ(summary->min, 10.0);
    EXPECT_DOUBLE_EQ(summary->max, 30.0);
    EXPECT_DOUBLE_EQ(summary->mean, 18.125);
    EXPECT_EQ(CellSummaryText(*summary, MapKind::Uoz, ","),
              "Выделено: 4, мин 10,0 °, макс 30,0 °, среднее 18,13 °");
    EXPECT_FALSE(SummariseCells(image, MapKind::Uoz, {3, 4, 3, 4}).has_value());
    EXPECT_FALSE(SummariseCells(image, MapKind::Uoz, {0, 30, 5, 40}).has_value());
    // A one-column table without a unit.
    StoreMapValues(image, MapKind::Pmax, 0, 0, CellValues{{400.0}, {500.0}});
    const std::optional<CellSummary> column = SummariseCells(image, MapKind::Pmax, {0, 0, 1, 0});
    ASSERT_TRUE(column.has_value());
    EXPECT_EQ(CellSummaryText(*column, MapKind::Pmax, "."),
              "Выделено: 2, мин 400, макс 500, среднее 450.0");
}
