#include "demo_image.h"
#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/edit_names.h"
#include "maps/map_operations.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// A zero image whose Uoz cells (half a degree per step) are filled from a list of raw values.
class MapOperations : public ::testing::Test {
protected:
    void SetUp() override { image.Decode(); }
    int32_t Address(MapKind kind, int r, int c) { return MapCellAddress(image, kind, r, c); }
    void Put(int r, int c, uint8_t raw) {
        image.WriteByte(static_cast<uint16_t>(Address(MapKind::Uoz, r, c)), raw);
    }
    // Every address whose byte differs from `before`, with its new byte.
    std::map<int32_t, int> Changed(const std::vector<uint8_t>& before) const {
        std::map<int32_t, int> out;
        for (size_t a = 0; a < FirmwareImage::Size; ++a)
            if (image.ReadByte(a) != before[a])
                out[static_cast<int32_t>(a)] = image.ReadByte(a);
        return out;
    }
    std::vector<uint8_t> Bytes() const {
        return std::vector<uint8_t>(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    }
    FirmwareImage image;
};

} // namespace

TEST_F(MapOperations, ValueOperationsStoreTheNearestRawAndCountClamps) {
    Put(2, 3, 10);  // 5.0
    Put(2, 4, 250); // 125.0
    auto before = Bytes();
    MapEditCount n = ApplyMapOperation(image, MapKind::Uoz, {2, 3, 2, 4}, MapOperation::Add, 4.3);
    // 9.3 -> 9.5 (raw 19); 129.3 is beyond 127.5 (raw 255).
    EXPECT_EQ(Changed(before), (std::map<int32_t, int>{{Address(MapKind::Uoz, 2, 3), 19},
                                                       {Address(MapKind::Uoz, 2, 4), 255}}));
    EXPECT_EQ(n.changed, 2);
    EXPECT_EQ(n.clamped, 1);

    before = Bytes();
    n = ApplyMapOperation(image, MapKind::Uoz, {2, 3, 2, 3}, MapOperation::MultiplyPercent, 150);
    // 9.5 * 1.5 = 14.25 lies halfway between raw 28 and 29: the one nearer the stored 19 wins.
    EXPECT_EQ(Changed(before), (std::map<int32_t, int>{{Address(MapKind::Uoz, 2, 3), 28}}));

    before = Bytes();
    n = ApplyMapOperation(image, MapKind::Uoz, {0, 0, 1, 1}, MapOperation::SetValue, 10.3);
    EXPECT_EQ(n.changed, 4);
    EXPECT_EQ(n.clamped, 0);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(image.ReadByte(Address(MapKind::Uoz, r, c)), 21);
    EXPECT_EQ(Changed(before).size(), 4u);

    // A computed table stores the byte behind it: CorUoz = full-load Uoz - CoefCorUoz.
    before = Bytes();
    const double full = image.FullLoad[5].Uoz;
    ApplyMapOperation(image, MapKind::CorUoz, {5, 2, 5, 2}, MapOperation::SetValue, full - 3);
    EXPECT_EQ(Changed(before), (std::map<int32_t, int>{{Address(MapKind::CoefCorUoz, 5, 2), 6}}));
}

// An operation on a whole map writes hundreds of bytes and decodes once, at its end.
TEST_F(MapOperations, AnOperationOnManyCellsDecodesOnce) {
    const std::size_t before = image.DecodeCount();
    const MapEditCount n =
        ApplyMapOperation(image, MapKind::Uoz, {0, 0, 38, 21}, MapOperation::Add, 1.0);
    EXPECT_EQ(n.changed, FirmwareImage::Rows * FirmwareImage::LoadCols);
    EXPECT_EQ(image.DecodeCount(), before + 1);
    EXPECT_DOUBLE_EQ(image.Uoz[38][21], 1.0);
    StepMapCells(image, MapKind::Uoz, {0, 0, 38, 21}, +1);
    EXPECT_EQ(image.DecodeCount(), before + 2);
    EXPECT_DOUBLE_EQ(image.Uoz[38][21], 1.5);
}

TEST_F(MapOperations, InterpolationAndSmoothingUseTheSelectionsCells) {
    Put(0, 0, 0);
    Put(0, 4, 8);
    Put(4, 0, 16);
    Put(4, 4, 40);
    auto rawAt = [&](int r, int c) { return int{image.ReadByte(Address(MapKind::Uoz, r, c))}; };

    ApplyMapOperation(image, MapKind::Uoz, {0, 0, 0, 4}, MapOperation::InterpolateRows);
    EXPECT_EQ((std::vector<int>{rawAt(0, 1), rawAt(0, 2), rawAt(0, 3)}),
              (std::vector<int>{2, 4, 6}));
    ApplyMapOperation(image, MapKind::Uoz, {0, 4, 4, 4}, MapOperation::InterpolateColumns);
    EXPECT_EQ((std::vector<int>{rawAt(1, 4), rawAt(2, 4), rawAt(3, 4)}),
              (std::vector<int>{16, 24, 32}));
    ApplyMapOperation(image, MapKind::Uoz, {0, 0, 4, 4}, MapOperation::InterpolateRect);
    EXPECT_EQ(rawAt(2, 2), 16); // (0 + 8 + 16 + 40) / 4
    EXPECT_EQ(rawAt(4, 2), 28);

    // Corner cell: its 2 x 2 neighbourhood inside the table; the rest of the table stays.
    Put(0, 0, 40);
    const auto before = Bytes();
    const int expected = (40 + rawAt(0, 1) + rawAt(1, 0) + rawAt(1, 1) + 2) / 4;
    ApplyMapOperation(image, MapKind::Uoz, {0, 0, 0, 0}, MapOperation::Smooth);
    EXPECT_EQ(rawAt(0, 0), expected);
    EXPECT_EQ(Changed(before).size(), 1u);
}

TEST_F(MapOperations, KeypadStepOnASelectionClampsEachCellAtItsEnd) {
    Put(1, 1, 255);
    Put(1, 2, 7);
    const auto before = Bytes();
    const MapEditCount n = StepMapCells(image, MapKind::Uoz, {1, 1, 1, 2}, +1);
    EXPECT_EQ(Changed(before), (std::map<int32_t, int>{{Address(MapKind::Uoz, 1, 2), 8}}));
    EXPECT_EQ(n.changed, 1);
    EXPECT_EQ(n.clamped, 1);

    // The word table runs to 0xFFFF: the step onto it is whole, the one past it clamped.
    const int32_t pmax = Address(MapKind::Pmax, 0, 0);
    WriteCellRaw(image, CellWidthKind::Word, pmax, 0xFFFE);
    image.Decode();
    MapEditCount w = StepMapCells(image, MapKind::Pmax, {0, 0, 0, 0}, +1);
    EXPECT_EQ(ReadCellRaw(image, CellWidthKind::Word, pmax, 0), 0xFFFF);
    EXPECT_EQ(w.changed, 1);
    EXPECT_EQ(w.clamped, 0);
    w = StepMapCells(image, MapKind::Pmax, {0, 0, 0, 0}, +1);
    EXPECT_EQ(ReadCellRaw(image, CellWidthKind::Word, pmax, 0), 0xFFFF);
    EXPECT_EQ(w.changed, 0);
    EXPECT_EQ(w.clamped, 1);
}

// The history's names of table edits: the table, the cells by their axis values (one value for
// one row or column, no columns for a one-column table) and the operation in the table's unit.
TEST(EditNames, NameTheTableTheCellsAndWhatWasDone) {
    FirmwareImage image;
    BuildDemoImage(image);
    EXPECT_EQ(MapEditName(image, MapKind::Uoz, {0, 0, 1, 2}, MapOperation::Add, 2, ","),
              "УОЗ 600–675 × 43–100: +2,0°");
    EXPECT_EQ(MapEditName(image, MapKind::Uoz, {3, 1, 3, 1}, MapOperation::Add, -1.5, ","),
              "УОЗ 875 × 71: -1,5°");
    EXPECT_EQ(MapEditName(image, MapKind::Uoz, {3, 1, 3, 1}, MapOperation::SetValue, 12.5, "."),
              "УОЗ 875 × 71: = 12.5°");
    EXPECT_EQ(
        MapEditName(image, MapKind::Uoz, {0, 0, 0, 0}, MapOperation::MultiplyPercent, 102.5, ","),
        "УОЗ 600 × 43: × 102,5 %");
    // Cut to the table: a selection reaching past the last row names the last row.
    EXPECT_EQ(
        MapEditName(image, MapKind::Pmax, {0, 0, 99, 5}, MapOperation::Smooth, 0, ","),
        "Максимальный цикловой расход воздуха 600–" +
            std::to_string(MapRowLabel(image, MapKind::Pmax, GetMapInfo(MapKind::Pmax).rows - 1)) +
            ": сглаживание");
    EXPECT_EQ(DifferenceEditName(image, MapKind::Uoz, {0, 0, 0, 0}, 0.5, ","),
              "УОЗ 600 × 43: эталон +0,5°");
    EXPECT_EQ(PasteEditName(MapKind::Uoz, 6), "Вставка 6 ячеек в УОЗ");
    EXPECT_EQ(PasteEditName(MapKind::Uoz, 21), "Вставка 21 ячейки в УОЗ");
    EXPECT_EQ(PasteEditName(MapKind::Uoz, 11), "Вставка 11 ячеек в УОЗ");
}
