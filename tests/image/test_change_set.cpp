#include "change_recorder.h"
#include "image/firmware_image.h"
#include "temp_dir.h"

#include <cstring>
#include <fstream>
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
    img.WriteWord(0x7FFE, 0x0000); // zeros over zeros

    const std::vector<ChangeSet> expected = {
        {{0x1234, 0x00, 0x5A}},
        {{0x2000, 0x00, 0xEF}, {0x2001, 0x00, 0xBE}},
        {{0x2000, 0xEF, 0x00}},
    };
    EXPECT_EQ(heard.sets, expected);
    EXPECT_EQ(img.ReadWord(0x2000), 0xBE00);
    EXPECT_EQ(heard.replaced, 0);
}

TEST_F(ChangeSetTest, WholeImageWritesAreOneEditOfTheChangedBytes) {
    img.WriteByte(0x0010, 7);
    img.MarkSaved();
    heard.sets.clear();

    std::vector<uint8_t> bytes(FirmwareImage::Size, 0);
    bytes[0x0000] = 1;
    bytes[0x0010] = 7; // as it already is
    bytes[0x7FFF] = 0xFF;
    img.ReplaceData(bytes.data());
    img.ReplaceData(bytes.data());
    const std::vector<ChangeSet> expected = {{{0x0000, 0, 1}, {0x7FFF, 0, 0xFF}}};
    EXPECT_EQ(heard.sets, expected);
    // An edit keeps the loaded copy: the image now differs from its file.
    EXPECT_TRUE(img.IsModified());
    EXPECT_FALSE(img.Loaded);

    // Storing the identification texts is one edit of the fields' bytes.
    heard.sets.clear();
    std::strcpy(img.EcuType, "AB");
    std::strcpy(img.CarBody, "Q");
    img.EncodeIdent();
    const std::vector<ChangeSet> ident = {{{img.AddrEcuType, 0, 'A'},
                                           {uint16_t(img.AddrEcuType + 1), 0, 'B'},
                                           {img.AddrCarBody, 0, 'Q'}}};
    EXPECT_EQ(heard.sets, ident);
}

TEST_F(ChangeSetTest, LoadsAndClearStartAfreshWithoutAChangeSet) {
    TempDir dir;
    {
        std::ofstream out(dir.File("a.bin"), std::ios::binary);
        out << std::string(FirmwareImage::Size, '\x11');
    }
    img.LoadBin(dir.File("a.bin"));
    EXPECT_EQ(heard.replaced, 1);
    img.SaveHex(dir.File("a.hex"));
    img.LoadHex(dir.File("a.hex"));
    EXPECT_EQ(heard.replaced, 2);

    FirmwareImage scratch;
    scratch.LoadBin(dir.File("a.bin"));
    scratch.WriteByte(3, 0x22); // the working copy and the file differ in the scratch image
    img.Clear();
    EXPECT_EQ(heard.replaced, 3);
    img.AdoptLoad(scratch);
    EXPECT_EQ(heard.replaced, 4);
    EXPECT_TRUE(heard.sets.empty());
    EXPECT_TRUE(img.Loaded && img.Complete);
    EXPECT_EQ(img.ReadByte(3), 0x22);
    EXPECT_EQ(img.LoadedCopy[3], 0x11);

    // A listener removed hears nothing more.
    img.RemoveListener(&heard);
    img.WriteByte(0, 0x33);
    img.Clear();
    EXPECT_TRUE(heard.sets.empty());
    EXPECT_EQ(heard.replaced, 4);
}

} // namespace
