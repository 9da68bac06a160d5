#include "image/equipment_bits.h"
#include "image_bytes.h"
#include "maps/byte_owner.h"
#include "maps/image_compare.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Two images with varied bytes everywhere; b starts as a copy of a.
class ImageCompare : public ::testing::Test {
protected:
    void SetUp() override {
        a.ReplaceData(PatternBytes(7, 3).data());
        b.ReplaceData(a.Bytes());
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
    FlipBits(b, a.AddrRcod + 11 * 2 + 3, 0x10);
    ImageDifferences d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_NE(d.Map(MapKind::Rcod), nullptr);
    EXPECT_EQ(d.Map(MapKind::Rcod)->cells[0].row, 2);
    EXPECT_EQ(d.Map(MapKind::Rcod)->cells[0].col, 3);

    SetUp();
    b.WriteByte(a.AddrDataFile + 2, 'Q');
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_EQ(d.ident.size(), 1u);
    EXPECT_STREQ(FirmwareImage::IdentName(d.ident[0].field), "DataFile");

    SetUp();
    FlipBits(b, a.AddrEquipment + 2, 0x04);
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_EQ(d.equipment.size(), 1u);
    EXPECT_EQ(d.equipment[0].bit, 18);
    EXPECT_EQ(d.equipment[0].a, !d.equipment[0].b);

    SetUp();
    FlipBits(b, 0x5FF1, 0x01);
    d = Compare();
    ASSERT_EQ(d.Count(), 1u);
    ASSERT_TRUE(d.checksum.has_value());
    EXPECT_EQ(d.checksum->a, a.StoredChecksum());
    EXPECT_EQ(d.checksum->b, b.StoredChecksum());

    // Code bytes next to each other make one run; the map set not selected counts as code.
    SetUp();
    FlipBits(b, 0x0100, 1);
    FlipBits(b, 0x0101, 1);
    FlipBits(b, a.AddrMainMapO2 + 1, 1);
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
    FlipBits(b, a.AddrNuz + 5, 0x02);
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
    a.WriteByte(a.AddrPmax + 6, 4);
    a.WriteByte(a.AddrPmax + 7, 0);
    b.ReplaceData(a.Bytes());
    b.WriteByte(a.AddrPmax + 6, 5);
    const ImageDifferences d = Compare();
    ASSERT_NE(d.Map(MapKind::Pmax), nullptr);
    EXPECT_EQ(d.Map(MapKind::Pmax)->cells[0], (CellDifference{3, 0, 4, 4}));
    EXPECT_TRUE(d.bytes.empty());
}

// Equal 64-byte blocks are passed over whole; the bytes right after one, and the last one of a
// block, are still seen.
TEST_F(ImageCompare, CodeBytesAtBlockEdgesAreSeen) {
    for (const uint16_t address : {0x0040, 0x007F, 0x0080})
        b.WriteByte(address, static_cast<uint8_t>(~a.ReadByte(address)));
    EXPECT_EQ(Compare().bytes, (std::vector<AddressRange>{{0x40, 0x40}, {0x7F, 0x80}}));
}

// A two-byte cell owns exactly its two bytes: a change in the next cell's first byte is that
// cell's alone, and taking a cell takes both of its bytes.
TEST_F(ImageCompare, AWordCellOwnsItsTwoBytes) {
    b.WriteByte(static_cast<uint16_t>(a.AddrPmax + 6),
                static_cast<uint8_t>(a.ReadByte(static_cast<uint16_t>(a.AddrPmax + 6)) + 1));
    const ImageDifferences d = Compare();
    ASSERT_NE(d.Map(MapKind::Pmax), nullptr);
    ASSERT_EQ(d.Map(MapKind::Pmax)->cells.size(), 1u);
    EXPECT_EQ(d.Map(MapKind::Pmax)->cells[0].row, 3);

    const AddressRange cell = CellBytes(a, MapKind::Pmax, 3, 0);
    EXPECT_EQ(cell, (AddressRange{a.AddrPmax + 6u, a.AddrPmax + 7u}));
    EXPECT_EQ(CellBytes(a, MapKind::Rcod, 0, 0), (AddressRange{a.AddrRcod, a.AddrRcod}));
    b.WriteByte(static_cast<uint16_t>(a.AddrPmax + 7), 0x3C);
    TakeBytes(a, b, cell);
    EXPECT_EQ(a.ReadWord(static_cast<uint16_t>(a.AddrPmax + 6)),
              b.ReadWord(static_cast<uint16_t>(a.AddrPmax + 6)));
    EXPECT_TRUE(Compare().Empty());
}

// Every byte a table stores is listed as its cell and never again among the other bytes: the
// first byte of each table's first cell and the last byte of its last one, in both map sets.
TEST_F(ImageCompare, TableBytesAtTheEdgesAreListedOnlyAsCells) {
    for (const bool o2 : {false, true}) {
        a.UseO2Maps = o2;
        for (const MapInfo& info : MapCatalogue()) {
            for (const uint32_t address :
                 {CellBytes(a, info.kind, 0, 0).first,
                  CellBytes(a, info.kind, info.rows - 1, info.cols - 1).last}) {
                SetUp();
                const auto at = static_cast<uint16_t>(address);
                b.WriteByte(at, static_cast<uint8_t>(a.ReadByte(at) ^ 0x01));
                const ImageDifferences d = Compare(o2);
                EXPECT_NE(d.Map(info.kind), nullptr) << info.name << " " << address;
                EXPECT_TRUE(d.bytes.empty()) << info.name << " " << address;
            }
        }
    }
}

// An identification field lists when its stored bytes differ, also behind the end of its text.
TEST_F(ImageCompare, IdentBytesBehindTheTextStillDiffer) {
    const FirmwareImage::IdentField f = a.Ident(0);
    for (int k = 0; k < f.length; ++k) {
        const auto at = static_cast<uint16_t>(f.address + k);
        a.WriteByte(at, k < 2 ? 'A' : 0);
        b.WriteByte(at, k < 2 ? 'A' : 0);
    }
    b.WriteByte(static_cast<uint16_t>(f.address + f.length - 1), 'Z');
    const ImageDifferences d = Compare();
    ASSERT_EQ(d.ident.size(), 1u);
    EXPECT_EQ(d.ident[0].field, 0);
    EXPECT_TRUE(d.bytes.empty());
}

// The account names each group that has differences, a group with one as much as one with many.
TEST(DifferenceSummary, OneLinePerGroupWithItsCount) {
    ImageDifferences d;
    EXPECT_TRUE(DifferenceSummary(d).empty());
    d.maps.push_back({MapKind::Rcod, {{0, 0, 1, 2}}});
    d.constants.resize(1);
    d.vectors.resize(2);
    d.ident.resize(1);
    d.equipment.resize(3);
    d.checksum = ChecksumDifference{1, 2};
    d.bytes = {{0x10, 0x11}};
    const std::vector<std::string> lines = DifferenceSummary(d);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], std::string(GetMapInfo(MapKind::Rcod).caption) + ": ячеек 1");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"Константы: 1", "Векторы: точек 2",
                                        "Идентификация: полей 1", "Комплектация: битов 3",
                                        "Контрольная сумма", "Прочие байты: участков 1, байт 2"}));
}

// Bytes another group lists leave the other-bytes runs, which split around them.
TEST(RemoveCoveredBytes, SplitsRunsAroundCoveredBytes) {
    ImageDifferences diff;
    diff.bytes = {{0x10, 0x14}, {0x20, 0x20}, {0x30, 0x31}};
    std::vector<bool> covered(FirmwareImage::Size, false);
    covered[0x12] = covered[0x20] = covered[0x30] = true;
    RemoveCoveredBytes(diff, covered);
    EXPECT_EQ(diff.bytes, (std::vector<AddressRange>{{0x10, 0x11}, {0x13, 0x14}, {0x31, 0x31}}));
}

// Taking one equipment item changes its bit only; the other items of the byte stay the
// working image's, whatever the reference holds for them.
TEST_F(ImageCompare, TakingAnEquipmentItemTakesItsBitAlone) {
    const uint16_t byte = static_cast<uint16_t>(a.AddrEquipment + 2);
    a.WriteByte(byte, 0b10100101);
    b.WriteByte(byte, 0b01011110);
    TakeEquipmentBit(a, b, 18); // bit 2 of the third byte: 1 in a, 1 in b
    EXPECT_EQ(a.ReadByte(byte), 0b10100101);
    TakeEquipmentBit(a, b, 19); // bit 3: 0 in a, 1 in b
    EXPECT_EQ(a.ReadByte(byte), 0b10101101);
    TakeEquipmentBit(a, b, 16); // bit 0: 1 in a, 0 in b
    EXPECT_EQ(a.ReadByte(byte), 0b10101100);
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
