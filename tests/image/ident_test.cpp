#include "image/codepage.h"
#include "image/firmware_image.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

// Sets a member the way the identification window does: at most N characters, zero-padded.
void SetMember(FirmwareImage& img, int index, const std::string& cp1251) {
    FirmwareImage::IdentField f = img.Ident(index);
    std::memset(f.text, 0, static_cast<size_t>(f.length) + 1);
    std::memcpy(f.text, cp1251.data(), std::min<size_t>(cp1251.size(), f.length));
}

std::string RawField(const FirmwareImage& img, uint16_t address, int length) {
    std::string s;
    for (int i = 0; i < length; ++i)
        s += static_cast<char>(img.ReadByte(static_cast<uint16_t>(address + i)));
    return s;
}

TEST(CodePage, TablesAgreeWithKnownCharacters) {
    // Code page 866: А 0x80, а 0xA0, р 0xE0, я 0xEF, Ё 0xF0, ё 0xF1, № 0xFC.
    // Code page 1251: А 0xC0, а 0xE0, р 0xF0, я 0xFF, Ё 0xA8, ё 0xB8, № 0xB9.
    EXPECT_EQ(Cp866ToCp1251("\x80\xA0\xE0\xEF\xF0\xF1\xFC"), "\xC0\xE0\xF0\xFF\xA8\xB8\xB9");
    EXPECT_EQ(Cp1251ToCp866("\xC0\xE0\xF0\xFF\xA8\xB8\xB9"), "\x80\xA0\xE0\xEF\xF0\xF1\xFC");
    EXPECT_EQ(Cp866ToCp1251("Az09 .-"), "Az09 .-");
    EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2 \xB9"), "Привет №");
    EXPECT_EQ(Utf8ToCp1251("Привет №"), "\xCF\xF0\xE8\xE2\xE5\xF2 \xB9");
    // A character that code page 866 lacks (the euro sign, 1251 0x88) becomes '?'.
    EXPECT_EQ(Cp1251ToCp866("\x88"), "?");
    EXPECT_EQ(Utf8ToCp1251("€x"), "\x88x");
    EXPECT_EQ(Utf8ToCp1251("\xE4\xB8\xADx"), "?x"); // a Chinese character
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");           // cut-off sequence
    // U+FFFF is no character of code page 1251, not the byte that code page leaves undefined.
    EXPECT_EQ(Utf8ToCp1251("\xEF\xBF\xBF"), "?");
}

TEST(CodePage, EveryCyrillicLetterSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0xC0; b <= 0xFF; ++b)
        all += static_cast<char>(b);
    all += "\xA8\xB8";
    EXPECT_EQ(Cp866ToCp1251(Cp1251ToCp866(all)), all);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Ident, NamesMatchTheFieldTable) {
    FirmwareImage img;
    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        EXPECT_STREQ(FirmwareImage::IdentName(i), img.Ident(i).name);
        EXPECT_EQ(img.IdentText(i), img.Ident(i).text);
    }
    EXPECT_EQ(img.Ident(3).address, 0x61E5);
    EXPECT_EQ(img.Ident(3).length, 7);
    EXPECT_EQ(img.Ident(7).address, 0x61ED);
    EXPECT_EQ(img.Ident(7).length, 3);
}

TEST(Ident, TextOfExactlyNCharactersHasNoTerminator) {
    FirmwareImage img;
    SetMember(img, 0, "ABCDEFGHIJKLMNOP");
    SetMember(img, 8, "Z"); // DataFile follows EcuType without a gap
    SetMember(img, 7, "1.2");
    SetMember(img, 4, "Q");
    img.EncodeIdent();
    EXPECT_EQ(RawField(img, 0x6030, 16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(img.ReadByte(0x6040), 'Z');
    EXPECT_EQ(RawField(img, 0x61ED, 3), "1.2");
    EXPECT_EQ(img.ReadByte(0x61F0), 'Q'); // ProgIdent follows without a gap
    std::memset(img.EcuType, 'x', 16);
    img.DecodeIdent();
    EXPECT_STREQ(img.EcuType, "ABCDEFGHIJKLMNOP");
    EXPECT_STREQ(img.DataVersion, "1.2");
    EXPECT_STREQ(img.DataFile, "Z");
}

TEST(Ident, BlanksAreTrimmedAndTheFieldZeroPadded) {
    FirmwareImage img;
    for (int i = 0; i < 16; ++i)
        img.WriteByte(static_cast<uint16_t>(0x6050 + i), 0xEE);
    SetMember(img, 1, "  AB C ");
    img.EncodeIdent();
    EXPECT_EQ(RawField(img, 0x6050, 16), std::string("AB C") + std::string(12, '\0'));
    EXPECT_STREQ(img.EcuMaker, "AB C"); // the member is trimmed too
    // Decoding trims blanks and tabs stored in the image as well.
    const std::string stored = "\t Z 1\t  ";
    for (size_t i = 0; i < stored.size(); ++i)
        img.WriteByte(static_cast<uint16_t>(0x6050 + i), static_cast<uint8_t>(stored[i]));
    img.DecodeIdent();
    EXPECT_STREQ(img.EcuMaker, "Z 1");
}

TEST(Ident, CyrillicTextsAreStoredInCodePage866) {
    FirmwareImage img;
    const std::string word = Utf8ToCp1251("Ёлка №5"); // 7 characters, ProgController's N
    SetMember(img, 3, word);
    img.EncodeIdent();
    EXPECT_EQ(RawField(img, 0x61E5, 7), "\xF0\xAB\xAA\xA0 \xFC"
                                        "5");
    EXPECT_EQ(std::string(img.ProgController), word); // the member keeps code page 1251
    img.ProgController[0] = 0;
    img.DecodeIdent();
    EXPECT_EQ(Cp1251ToUtf8(img.ProgController), "Ёлка №5");
}

TEST(Ident, ClearEmptiesTheTexts) {
    FirmwareImage img;
    img.WriteByte(0x60D0, 'Q');
    img.DecodeIdent();
    EXPECT_STREQ(img.CarDate, "Q");
    img.Clear();
    EXPECT_STREQ(img.CarDate, "");
    EXPECT_EQ(img.ReadByte(0x60D0), 0);
}

} // namespace
