#include "image/firmware_image.h"
#include "image_bytes.h"
#include "maps/cell_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// An image with every byte different from its neighbours, decoded, and a copy of its bytes.
class CellEdit : public ::testing::Test {
protected:
    void SetUp() override {
        // Keep every stepped value away from the clamps.
        image.ReplaceData(PatternBytes(7, 3).data());
    }
    std::vector<uint8_t> Bytes() const {
        return std::vector<uint8_t>(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    }
    // Addresses whose byte differs between two snapshots.
    static std::vector<size_t> Diff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        std::vector<size_t> out;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                out.push_back(i);
        return out;
    }
    int32_t Step(MapKind kind, int r, int c, int delta) {
        const CellWidthKind w = GetMapInfo(kind).storage.width;
        const int32_t address = MapCellAddress(image, kind, r, c);
        return StepCellRaw(image, w, address, ReadCellRaw(image, w, address, 0), delta);
    }
    FirmwareImage image;
};

} // namespace

TEST_F(CellEdit, PlusOnEachKindChangesExactlyTheStoredValueBehindTheCell) {
    struct Case {
        MapKind kind;
        int r, c;
        size_t address;
        bool word;
    };
    const size_t main = image.AddrMainMap, cor = image.AddrCorMap;
    const Case cases[] = {
        {MapKind::Uoz, 3, 5, main + 44 * 3 + 2 * 5 + 1, false},
        {MapKind::Tau, 3, 5, main + 44 * 3 + 2 * 5, false},
        {MapKind::Lambda, 38, 21, main + 44 * 38 + 2 * 21, false},
        {MapKind::CoefCorUoz, 10, 6, cor + 78 * 6 + 2 * 10 + 1, false},
        {MapKind::CorUoz, 10, 6, cor + 78 * 6 + 2 * 10 + 1, false},
        {MapKind::CoefCorTau, 2, 4, cor + 78 * 4 + 2 * 2, false},
        {MapKind::CorTau, 2, 4, cor + 78 * 4 + 2 * 2, false},
        {MapKind::Pmax, 7, 0, size_t{image.AddrPmax} + 14, true},
        {MapKind::Rcod, 9, 10, size_t{image.AddrRcod} + 11 * 9 + 10, false},
        {MapKind::Drmax, 20, 0, size_t{image.AddrDrmax} + 20, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(GetMapInfo(k.kind).caption);
        image.WriteByte(k.address, 100);
        if (k.word)
            image.WriteByte(k.address + 1, 1);
        const auto before = Bytes();
        const int32_t raw = Step(k.kind, k.r, k.c, +1);
        const auto changed = Diff(before, Bytes());
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(changed[0], k.address);
        EXPECT_EQ(image.ReadByte(k.address), 101);
        EXPECT_EQ(raw, k.word ? 256 + 101 : 101);
    }
}

TEST_F(CellEdit, OneStepMovesTheShownValueAsDecodingSays) {
    auto shownDelta = [&](MapKind kind, int r, int c) {
        const double before = MapValue(image, kind, r, c);
        Step(kind, r, c, +1);
        return MapValue(image, kind, r, c) - before;
    };
    EXPECT_DOUBLE_EQ(shownDelta(MapKind::Uoz, 1, 2), 0.5);
    EXPECT_NEAR(shownDelta(MapKind::Tau, 1, 2), 0.02, 1e-9);
    EXPECT_DOUBLE_EQ(shownDelta(MapKind::CoefCorUoz, 5, 3), 0.5);
    EXPECT_DOUBLE_EQ(shownDelta(MapKind::CorUoz, 5, 3), -0.5);
    EXPECT_DOUBLE_EQ(shownDelta(MapKind::CoefCorTau, 5, 3), 1.0 / 256);
    EXPECT_DOUBLE_EQ(shownDelta(MapKind::Rcod, 4, 4), 1.0 / 256);
    EXPECT_NEAR(shownDelta(MapKind::Drmax, 4, 0), 100.0 / 142, 1e-9);
    const double fullTau = image.FullLoad[6].Tau;
    EXPECT_NEAR(shownDelta(MapKind::CorTau, 6, 1), fullTau / 256, 1e-9);
}

TEST_F(CellEdit, PmaxShowsEightNinthsOfTheRawWord) {
    const int32_t address = MapCellAddress(image, MapKind::Pmax, 0, 0);
    image.WriteWord(static_cast<uint16_t>(address), 11);
    const int shown[] = {11, 12, 12, 13}; // raw 12, 13, 14, 15
    for (int expected : shown) {
        Step(MapKind::Pmax, 0, 0, +1);
        EXPECT_EQ(image.Pmax[0], expected);
    }
}

TEST_F(CellEdit, ValuesClampAtTheEndsOfTheirWidth) {
    const int32_t byteAddr = MapCellAddress(image, MapKind::Uoz, 0, 0);
    image.WriteByte(byteAddr, 0);
    EXPECT_EQ(Step(MapKind::Uoz, 0, 0, -1), 0);
    EXPECT_EQ(image.ReadByte(byteAddr), 0);
    image.WriteByte(byteAddr, 255);
    EXPECT_EQ(Step(MapKind::Uoz, 0, 0, +1), 255);
    EXPECT_EQ(image.ReadByte(byteAddr), 255);
    EXPECT_EQ(Step(MapKind::Uoz, 0, 0, -1), 254);

    const int32_t wordAddr = MapCellAddress(image, MapKind::Pmax, 38, 0);
    image.WriteWord(static_cast<uint16_t>(wordAddr), 0xFFFF);
    const uint8_t after = image.ReadByte(wordAddr + 2);
    EXPECT_EQ(Step(MapKind::Pmax, 38, 0, +1), 0xFFFF);
    EXPECT_EQ(image.ReadWord(static_cast<uint16_t>(wordAddr)), 0xFFFF);
    EXPECT_EQ(image.ReadByte(wordAddr + 2), after); // no carry into the next word
    image.WriteWord(static_cast<uint16_t>(wordAddr), 0);
    EXPECT_EQ(Step(MapKind::Pmax, 38, 0, -1), 0);
    image.WriteWord(static_cast<uint16_t>(wordAddr), 0x00FF);
    EXPECT_EQ(Step(MapKind::Pmax, 38, 0, +1), 0x0100); // carry from the low into the high byte
}

TEST_F(CellEdit, AStepStartsFromTheStoredValueNotAStaleOne) {
    const int32_t a = MapCellAddress(image, MapKind::Rcod, 0, 0);
    image.WriteByte(a, 40); // another window changed the byte after the cell became current
    EXPECT_EQ(StepCellRaw(image, CellWidthKind::Byte, a, 7, +1), 41);
    EXPECT_EQ(image.ReadByte(a), 41);
}

TEST_F(CellEdit, OxygenMapSetMovesTheMainAndCorrectionAddressesOnly) {
    image.UseO2Maps = true;
    EXPECT_EQ(MapCellAddress(image, MapKind::Uoz, 1, 1), image.AddrMainMapO2 + 44 + 2 + 1);
    EXPECT_EQ(MapCellAddress(image, MapKind::Lambda, 1, 1), image.AddrMainMapO2 + 44 + 2);
    EXPECT_EQ(MapCellAddress(image, MapKind::CorTau, 1, 1), image.AddrCorMapO2 + 78 + 2);
    EXPECT_EQ(MapCellAddress(image, MapKind::Pmax, 1, 0), image.AddrPmax + 2);
    EXPECT_EQ(MapCellAddress(image, MapKind::Rcod, 1, 1), image.AddrRcod + 12);
    EXPECT_EQ(MapCellAddress(image, MapKind::Drmax, 1, 0), image.AddrDrmax + 1);

    image.Decode();
    const double before = image.Uoz[1][1];
    Step(MapKind::Uoz, 1, 1, +1);
    EXPECT_DOUBLE_EQ(image.Uoz[1][1], before + 0.5);
}

TEST_F(CellEdit, CellsOutsideTheTableOrWidthNoneWriteNothing) {
    EXPECT_EQ(MapCellAddress(image, MapKind::Uoz, 39, 0), -1);
    EXPECT_EQ(MapCellAddress(image, MapKind::Uoz, 0, 22), -1);
    EXPECT_EQ(MapCellAddress(image, MapKind::Pmax, 0, 1), -1);
    EXPECT_EQ(MapCellAddress(image, MapKind::Rcod, -1, 0), -1);
    const auto before = Bytes();
    EXPECT_EQ(StepCellRaw(image, CellWidthKind::Byte, -1, 5, +1), 5);
    EXPECT_EQ(StepCellRaw(image, CellWidthKind::Word, 0x7FFF, 5, +1), 5);
    EXPECT_EQ(StepCellRaw(image, CellWidthKind::None, 0x100, 5, +1), 5);
    EXPECT_EQ(Diff(before, Bytes()).size(), 0u);
    EXPECT_EQ(ReadCellRaw(image, CellWidthKind::None, 0x100, 9), 9);
    WriteCellRaw(image, CellWidthKind::None, 0x100, 0x55);
    EXPECT_EQ(Diff(before, Bytes()).size(), 0u);

    // A word in the last two bytes is inside; one starting at the last byte is not.
    WriteCellRaw(image, CellWidthKind::Word, 0x7FFE, 0x1234);
    EXPECT_EQ(ReadCellRaw(image, CellWidthKind::Word, 0x7FFE, 9), 0x1234);
    EXPECT_EQ(ReadCellRaw(image, CellWidthKind::Word, 0x7FFF, 9), 9);
}

// A cell counts as changed against the file by its own stored bytes only: both bytes of a
// word cell, never the neighbour's byte.
TEST(CellDiffersFromFile, LooksAtTheCellsOwnBytes) {
    FirmwareImage image;
    image.WriteByte(static_cast<uint16_t>(MapCellAddress(image, MapKind::Rcod, 0, 1)), 1);
    EXPECT_FALSE(CellDiffersFromFile(image, MapKind::Rcod, 0, 0));
    EXPECT_TRUE(CellDiffersFromFile(image, MapKind::Rcod, 0, 1));
    image.WriteByte(static_cast<uint16_t>(MapCellAddress(image, MapKind::Pmax, 2, 0) + 1), 1);
    EXPECT_TRUE(CellDiffersFromFile(image, MapKind::Pmax, 2, 0));
    EXPECT_FALSE(CellDiffersFromFile(image, MapKind::Pmax, 3, 0));
}
