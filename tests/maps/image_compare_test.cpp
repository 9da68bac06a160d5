#include "image/equipment_bits.h"
#include "maps/byte_owner.h"
#include "maps/image_compare.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Two images with varied bytes everywhere; b starts as a copy of a.
class ImageCompare : public ::testing::Test {
protected:
    void SetUp() override {
        for (uint32_t i = 0; i < FirmwareImage::Size; ++i)
            a.Data[i] = static_cast<uint8_t>(i * 7 + 3);
        std::memcpy(b.Data.get(), a.Data.get(), FirmwareImage::Size);
    }
    ImageDifferences Compare(bool useO2 = false) const { return CompareImages(a, b, useO2); }
    FirmwareImage a;
    FirmwareImage b;
};

TEST_F(ImageCompare, IdenticalImagesHaveNoDifference) {
    const ImageDifferences d = Compare();
    EXPECT_TRUE(d.Empty());
    EXPECT_EQ(d.Count(), 0u);
}

TEST_F(ImageCompare, EachSingleChangeIsListedOnceInItsGroup) {
    b.Data[a.AddrRcod + 11 * 2 + 3] ^= 0x10;
    ImageDifferences d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_NE(d.Map(MapKind::Rcod), nullptr);
    EXPECT_EQ(d.Map(MapKind::Rcod)->cells[0].row, 2);
    EXPECT_EQ(d.Map(MapKind::Rcod)->cells[0].col, 3);

    SetUp();
    b.Data[a.AddrDataFile + 2] = 'Q';
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_EQ(d.ident.size(), 1u);
    EXPECT_STREQ(FirmwareImage::IdentName(d.ident[0].field), "DataFile");

    SetUp();
    b.Data[a.AddrEquipment + 2] ^= 0x04;
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_EQ(d.equipment.size(), 1u);
    EXPECT_EQ(d.equipment[0].bit, 18);
    EXPECT_EQ(d.equipment[0].a, !d.equipment[0].b);

    SetUp();
    b.Data[0x5FF1] ^= 0x01;
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_TRUE(d.checksum.has_value());
    EXPECT_EQ(d.checksum->a, a.StoredChecksum());
    EXPECT_EQ(d.checksum->b, b.StoredChecksum());

    // Code bytes next to each other make one run; the map set not selected counts as code.
    SetUp();
    b.Data[0x0100] ^= 1;
    b.Data[0x0101] ^= 1;
    b.Data[a.AddrMainMapO2 + 1] ^= 1;
    d = Compare();
    ASSERT_EQ(d.Count(), 2u);
    EXPECT_EQ(d.bytes, (std::vector<AddressRange>{{0x100, 0x101},
                                                  {a.AddrMainMapO2 + 1u, a.AddrMainMapO2 + 1u}}));
    EXPECT_EQ(DifferenceSummary(d), std::vector<std::string>{"Прочие байты: участков 2, байт 3"});
    d = Compare(true);
    ASSERT_EQ(d.bytes.size(), 1u);
    ASSERT_NE(d.Map(MapKind::Uoz), nullptr);
    EXPECT_EQ(d.Map(MapKind::Uoz)->cells.front().row, 0);
    EXPECT_EQ(d.Map(MapKind::Uoz)->cells.front().col, 0);
}

TEST_F(ImageCompare, AxisByteShowsInEveryCellItMovesAndNowhereElse) {
    b.Data[a.AddrNuz + 5] ^= 0x02;
    const ImageDifferences d = Compare();
    EXPECT_TRUE(d.bytes.empty());
    for (MapKind kind : {MapKind::Uoz, MapKind::Rcod, MapKind::Pmax, MapKind::CorTau}) {
        const MapInfo& info = GetMapInfo(kind);
        const MapDifference* map = d.Map(kind);
        if (info.rowAxis != MapAxis::Nuz) {
            EXPECT_EQ(map, nullptr);
            continue;
        }
        ASSERT_NE(map, nullptr) << info.name;
        ASSERT_EQ(map->cells.size(), static_cast<size_t>(info.cols)) << info.name;
        for (const CellDifference& cell : map->cells)
            EXPECT_EQ(cell.row, 5);
    }
}

TEST_F(ImageCompare, StoredBytesThatDecodeAlikeStillShowAsTheirCell) {
    // Raw air flows 4 and 5 both round to 4.
    a.Data[a.AddrPmax + 6] = 4;
    a.Data[a.AddrPmax + 7] = 0;
    std::memcpy(b.Data.get(), a.Data.get(), FirmwareImage::Size);
    b.Data[a.AddrPmax + 6] = 5;
    const ImageDifferences d = Compare();
    ASSERT_NE(d.Map(MapKind::Pmax), nullptr);
    EXPECT_EQ(d.Map(MapKind::Pmax)->cells[0], (CellDifference{3, 0, 4, 4}));
    EXPECT_TRUE(d.bytes.empty());
}

} // namespace

namespace {

// A byte the unit failed to keep is named by what holds it: where the comparison lists the
// byte as a table cell, the owner is that table and cell.
TEST_F(ImageCompare, ByteOwnerNamesWhatTheComparisonLists) {
    a.Decode();
    b.WriteByte(0x7000, static_cast<uint8_t>(~b.ReadByte(0x7000)));
    const ImageDifferences d = Compare();
    ASSERT_FALSE(d.maps.empty());
    const ByteOwner cell = OwnerOfByte(a, 0x7000);
    ASSERT_EQ(cell.kind, ByteOwner::Kind::MapCell);
    EXPECT_EQ(cell.map, d.maps[0].kind);
    EXPECT_EQ(cell.rowLabel, MapRowLabel(a, d.maps[0].kind, d.maps[0].cells[0].row));
    EXPECT_TRUE(cell.hasColumn);
    EXPECT_EQ(cell.colLabel, MapColLabel(a, d.maps[0].kind, d.maps[0].cells[0].col));

    EXPECT_EQ(OwnerOfByte(a, a.AddrProgIdent + 1).kind, ByteOwner::Kind::Ident);
    EXPECT_STREQ(FirmwareImage::IdentName(OwnerOfByte(a, a.AddrProgIdent + 1).field), "ProgIdent");
    EXPECT_EQ(OwnerOfByte(a, a.AddrEquipment + 5).kind, ByteOwner::Kind::Equipment);
    EXPECT_EQ(OwnerOfByte(a, a.AddrEquipment + 6).kind, ByteOwner::Kind::Other);
    EXPECT_EQ(OwnerOfByte(a, 0x5FF1).kind, ByteOwner::Kind::Checksum);
    EXPECT_EQ(OwnerOfByte(a, 0x0100).kind, ByteOwner::Kind::Other);
    // A word cell owns both of its bytes.
    const ByteOwner high = OwnerOfByte(a, a.AddrMainMap + 1);
    EXPECT_EQ(high.kind, ByteOwner::Kind::MapCell);
}

} // namespace
