#include "change_recorder.h"
#include "image/firmware_image.h"
#include "temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class ChangeSetTest : public ::testing::Test {
protected:
    FirmwareImage img;
    ChangeRecorder heard{img};
};

TEST_F(ChangeSetTest, ByteAndWordWritesListOnlyTheBytesThatChanged) {
    img.WriteByte(0x1234, 0x5A);
    img.WriteByte(0x1234, 0x5A); // the same value again: no change set
    img.WriteWord(0x2000, 0xBEEF);
    img.WriteWord(0x2000, 0xBE00); // only the low byte differs
    img.WriteWord(0x2000, 0xBE00);
    const std::vector<ChangeSet> expected = {
        {{0x1234, 0x00, 0x5A}},
        {{0x2000, 0x00, 0xEF}, {0x2001, 0x00, 0xBE}},
        {{0x2000, 0xEF, 0x00}},
    };
    EXPECT_EQ(heard.sets, expected);
}

TEST_F(ChangeSetTest, WholeImageWritesAreOneEditOfTheChangedBytes) {
    img.WriteByte(0x0010, 7);
    std::vector<uint8_t> bytes(FirmwareImage::Size, 0);
    bytes[0x0000] = 1;
    bytes[0x0010] = 7; // as it already is
    bytes[0x7FFF] = 0xFF;
    img.ReplaceData(bytes.data());
    img.ReplaceData(bytes.data());
    std::strcpy(img.EcuType, "AB");
    std::strcpy(img.CarBody, "Q");
    img.EncodeIdent(); // every field stored, two of them changed
    const std::vector<ChangeSet> expected = {
        {{0x0010, 0, 7}},
        {{0x0000, 0, 1}, {0x7FFF, 0, 0xFF}},
        {{img.AddrEcuType, 0, 'A'},
         {uint16_t(img.AddrEcuType + 1), 0, 'B'},
         {img.AddrCarBody, 0, 'Q'}},
    };
    EXPECT_EQ(heard.sets, expected);
}

TEST_F(ChangeSetTest, LoadsAndClearStartAfreshWithoutAChangeSet) {
    TempDir dir;
    FirmwareImage scratch;
    scratch.WriteByte(3, 0x11);
    scratch.SaveBinAndHex(dir.File("a.bin"), dir.File("a.hex"));
    scratch.LoadBin(dir.File("a.bin"));
    scratch.WriteByte(3, 0x22); // the working copy now differs from the file
    img.LoadBin(dir.File("a.bin"));
    img.LoadHex(dir.File("a.hex"));
    img.Clear();
    img.AdoptLoad(scratch);
    EXPECT_EQ(heard.replaced, 4);
    EXPECT_TRUE(heard.sets.empty());
    EXPECT_TRUE(img.Loaded && img.Complete);
    EXPECT_EQ(img.ReadByte(3), 0x22);
    EXPECT_EQ(img.LoadedBytes()[3], 0x11);
}

} // namespace
