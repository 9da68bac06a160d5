#include "ident_bytes.h"
#include "image/codepage.h"
#include "image/firmware_image.h"
#include "params/ident_edit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace std::string_literals;

constexpr int EcuType = 0;  // 0x6030, 16 bytes
constexpr int DataFile = 8; // 0x6040, 16 bytes, right behind EcuType

// An image as just loaded: raw texts in place, decoded, LoadedCopy equal to Data.
struct Loaded {
    FirmwareImage image;
    void Load() { image.MarkSaved(); }
};

TEST(IdentEdit, StoringUnchangedTextsNormalisesPaddedFields) {
    Loaded l;
    PutRaw(l.image, 0x6030, "  VLM16 ");
    PutRaw(l.image, 0x6040, "file.bin\0junk"s);
    PutRaw(l.image, 0x6050, std::string(16, ' '));
    l.Load();

    IdentEdit edit(l.image);
    EXPECT_EQ(edit.Shown()[EcuType], "VLM16");
    edit.Store(l.image, edit.Shown());

    EXPECT_EQ(Raw(l.image, 0x6030, 16), Padded("VLM16", 16));
    EXPECT_EQ(Raw(l.image, 0x6040, 16), Padded("file.bin", 16));
    EXPECT_EQ(Raw(l.image, 0x6050, 16), std::string(16, '\0'));
    EXPECT_TRUE(l.image.IsModified());
}

TEST(IdentEdit, StoringUnchangedNormalisedTextsLeavesTheImageUnmodified) {
    Loaded l;
    PutRaw(l.image, 0x6030, "ECU");
    PutRaw(l.image, 0x61ED, "1.2"); // DataVersion, 3 bytes, full
    PutRaw(l.image, 0x60A0, Cp1251ToCp866(Utf8ToCp1251("седан")));
    l.Load();
    IdentEdit edit(l.image);
    edit.Store(l.image, edit.Shown());
    EXPECT_FALSE(l.image.IsModified());
}

TEST(IdentEdit, FullAndClearedFieldsLeaveTheirNeighboursAlone) {
    Loaded l;
    PutRaw(l.image, 0x6040, "NEXT");
    PutRaw(l.image, 0x61E0, "V1.0"); // ProgVersion, 4 bytes
    PutRaw(l.image, 0x61E4, "\x7F"); // the byte right behind it belongs to no field
    l.Load();
    IdentEdit edit(l.image);
    IdentEdit::Texts texts = edit.Shown();
    texts[EcuType] = "0123456789ABCDEF";
    texts[DataFile] = "NEXT";
    texts[5] = "";
    edit.Store(l.image, texts);

    EXPECT_EQ(Raw(l.image, 0x61E0, 4), std::string(4, '\0'));
    EXPECT_EQ(l.image.ReadByte(0x61E4), 0x7F);
    EXPECT_STREQ(l.image.ProgVersion, "");

    EXPECT_EQ(Raw(l.image, 0x6030, 16), "0123456789ABCDEF");
    EXPECT_EQ(Raw(l.image, 0x6040, 16), Padded("NEXT", 16));
    EXPECT_STREQ(l.image.EcuType, "0123456789ABCDEF");

    // A text longer than its field is cut to the field; the neighbour still stands.
    texts[EcuType] = "0123456789ABCDEFGHIJ";
    edit.Store(l.image, texts);
    EXPECT_EQ(Raw(l.image, 0x6030, 16), "0123456789ABCDEF");
    EXPECT_EQ(Raw(l.image, 0x6040, 16), Padded("NEXT", 16));
}

TEST(IdentEdit, UntouchedFieldKeepsCharactersCodePage1251Lacks) {
    Loaded l;
    // Box-drawing characters of code page 866 have no place in code page 1251.
    const std::string boxes = "\xB0\xB1 MARK \xDB";
    PutRaw(l.image, 0x6070, " " + boxes + " "); // DataType
    PutRaw(l.image, 0x6080, "\xC4\xC4\xC4");    // DataEngine
    l.Load();

    IdentEdit edit(l.image);
    IdentEdit::Texts texts = edit.Shown();
    texts[10] = "ZQ9"; // DataEngine is retyped, so its lost characters go
    edit.Store(l.image, texts);

    EXPECT_EQ(Raw(l.image, 0x6070, 16), Padded(boxes, 16));
    EXPECT_EQ(Raw(l.image, 0x6080, 16), Padded("ZQ9", 16));
}

} // namespace
