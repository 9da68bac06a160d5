#include "comma_locale.h"
#include "image/firmware_image.h"
#include "params/parameter_format.h"
#include "params/parameter_records.h"
#include "params/parameter_storage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

TEST(ParameterStorage, ConstantTypesReadTheirBits) {
    FirmwareImage image;
    image.WriteByte(0x6215, 0xA7);
    EXPECT_EQ(ReadConstantRaw(image, 0x6215, 0), 10u);
    EXPECT_EQ(ReadConstantRaw(image, 0x6215, 1), 7u);
    EXPECT_EQ(ReadConstantRaw(image, 0x6215, 2), 167u);
    image.WriteByte(0x6215, 0x0F);
    EXPECT_EQ(ReadConstantRaw(image, 0x6215, 1), 7u); // AND 7, not AND 15
    image.WriteByte(0x6106, 0x34);
    image.WriteByte(0x6107, 0x12);
    EXPECT_EQ(ReadConstantRaw(image, 0x6106, 3), 0x1234u);
    EXPECT_EQ(ReadConstantRaw(image, 0x6106, 7), 0u);
}

TEST(ParameterStorage, TypeZeroAndOneShareAByte) {
    FirmwareImage image;
    image.WriteByte(0x6215, 0x95);
    WriteConstantRaw(image, 0x6215, 0, 3); // bits 7-4 only
    EXPECT_EQ(image.ReadByte(0x6215), 0x35);
    WriteConstantRaw(image, 0x6215, 1, 2); // bits 2-0 only; bit 3 stays
    EXPECT_EQ(image.ReadByte(0x6215), 0x32);
    image.WriteByte(0x6215, 0x0F);
    WriteConstantRaw(image, 0x6215, 1, 0);
    EXPECT_EQ(image.ReadByte(0x6215), 0x08);
    WriteConstantRaw(image, 0x6215, 0, -1); // two's complement: low 4 bits of -1
    EXPECT_EQ(image.ReadByte(0x6215), 0xF8);
}

TEST(ParameterStorage, WordAndByteWritesTakeLowBits) {
    FirmwareImage image;
    WriteConstantRaw(image, 0x6106, 3, 0x12345);
    EXPECT_EQ(image.ReadByte(0x6106), 0x45);
    EXPECT_EQ(image.ReadByte(0x6107), 0x23);
    WriteConstantRaw(image, 0x6108, 2, 256);
    EXPECT_EQ(image.ReadByte(0x6108), 0x00);
    WriteConstantRaw(image, 0x6108, 2, -1);
    EXPECT_EQ(image.ReadByte(0x6108), 0xFF);
    image.WriteByte(0x6109, 0x55);
    WriteConstantRaw(image, 0x6109, 7, 0x12);
    EXPECT_EQ(image.ReadByte(0x6109), 0x55);
}

TEST(ParameterStorage, RoundToDecimalsHalvesAwayFromZero) {
    EXPECT_EQ(RoundToDecimals(2.5, 0), 3.0);
    EXPECT_EQ(RoundToDecimals(-2.5, 0), -3.0);
    EXPECT_EQ(RoundToDecimals(2.4999, 0), 2.0);
    EXPECT_DOUBLE_EQ(RoundToDecimals(11.015625, 2), 11.02);
    EXPECT_DOUBLE_EQ(RoundToDecimals(0.98, 3), 0.98);
    EXPECT_DOUBLE_EQ(RoundToDecimals(-1.25, 1), -1.3);
    EXPECT_TRUE(std::signbit(RoundToDecimals(0.0, 2))); // the negative zero the display hides
}

// Decimal comes straight from the database: a count beyond what a double holds keeps the value
// as it is instead of turning it into NaN, and no count is undefined behaviour.
TEST(ParameterStorage, RoundToDecimalsSurvivesAnyDecimalCount) {
    EXPECT_EQ(RoundToDecimals(12.25, 400), 12.25);
    EXPECT_EQ(RoundToDecimals(0.0, 65535), 0.0);
    EXPECT_EQ(RoundToDecimals(1e10, 300), 1e10);
    EXPECT_EQ(RoundToDecimals(12.25, INT32_MAX), 12.25);
    EXPECT_FALSE(std::isnan(RoundToDecimals(12.25, INT32_MIN)));
}

TEST(ParameterStorage, EncodeRawAddsAHalfAndTruncates) {
    EXPECT_EQ(EncodeRaw(255.5), 256);
    EXPECT_EQ(EncodeRaw(-1.5), -1);
    EXPECT_EQ(EncodeRaw(-1.0), 0);
    EXPECT_EQ(EncodeRaw(-0.4), 0);
    EXPECT_EQ(EncodeRaw(-2.6), -2);
    EXPECT_EQ(EncodeRaw(84.5), 85);
    EXPECT_THROW(EncodeRaw(INFINITY), std::range_error);
    EXPECT_THROW(EncodeRaw(NAN), std::range_error);
    EXPECT_THROW(EncodeRaw(1e30), std::range_error);
}

TEST(ParameterStorage, AddressesOutsideTheImageAreNeverTouched) {
    FirmwareImage image;
    EXPECT_TRUE(ConstantInRange(0x7FFF, 2));
    EXPECT_FALSE(ConstantInRange(0x7FFF, 3)); // the word's high byte would be 0x8000
    EXPECT_FALSE(ConstantInRange(0x8000, 0));
    EXPECT_FALSE(ConstantInRange(-1, 1));
    EXPECT_TRUE(ConstantInRange(0x9000, 7)); // reads nothing at all
    EXPECT_EQ(ReadConstantRaw(image, 0x8000, 2), 0u);
    WriteConstantRaw(image, 0x7FFF, 3, 0xFFFF); // would write past the end
    EXPECT_EQ(image.ReadByte(0x7FFF), 0);
    // A vector's word in the last byte reads as nothing; its byte there is read.
    image.WriteByte(0x7FFF, 0x12);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x7FFF, 3, 0), 0u);
    EXPECT_EQ(ReadVectorArgRaw(image, 0x7FFF, 1, 0), 0u);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x7FFF, 2, 0), 0x12u);
    EXPECT_EQ(ReadVectorArgRaw(image, 0x7FFF, 0, 0), 0x12u);

    ConstantRecord c;
    c.Mark = "FAR";
    c.Address = 0x7FFF;
    c.Type = 3;
    EXPECT_EQ(ConstantProblem(c), "адрес 0x7FFF вне образа 0x0000..0x7FFF");
    c.Address = -1;
    c.Type = 0;
    EXPECT_EQ(ConstantProblem(c), "адрес -0x0001 вне образа 0x0000..0x7FFF");
    c.Address = 0x7FFF;
    c.Type = 2;
    EXPECT_FALSE(ConstantProblem(c).has_value());
}

TEST(ParameterStorage, VectorValueLayouts) {
    FirmwareImage image;
    for (int i = 0; i < 16; ++i)
        image.WriteByte(static_cast<uint16_t>(0x6900 + i), static_cast<uint8_t>(i));
    // Types 0 and 1 at one address are the two bytes of each 2-byte element.
    EXPECT_EQ(ReadVectorValueRaw(image, 0x6900, 0, 2), 4u);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x6900, 1, 2), 5u);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x6900, 2, 2), 2u);
    image.WriteByte(0x6A00, 0x10);
    image.WriteByte(0x6A01, 0x27);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x6A00, 3, 0), 10000u);
    EXPECT_EQ(ReadVectorValueRaw(image, 0x6900, 9, 0), 0u);

    WriteVectorValueRaw(image, 0x6900, 0, 2, 0x1AA);
    EXPECT_EQ(image.ReadByte(0x6904), 0xAA);
    EXPECT_EQ(image.ReadByte(0x6905), 5); // neighbour byte kept
    WriteVectorValueRaw(image, 0x6900, 1, 2, 0xBB);
    EXPECT_EQ(image.ReadByte(0x6904), 0xAA);
    EXPECT_EQ(image.ReadByte(0x6905), 0xBB);
    WriteVectorValueRaw(image, 0x6A00, 3, 1, 0xBEEF);
    EXPECT_EQ(image.ReadWord(0x6A02), 0xBEEF);
    WriteVectorValueRaw(image, 0x6900, 5, 0, 0x77);
    EXPECT_EQ(image.ReadByte(0x6900), 0);
}

TEST(ParameterStorage, VectorArgumentLayouts) {
    FirmwareImage image;
    image.WriteByte(0x6A20, 0x34);
    image.WriteByte(0x6A21, 0x12);
    image.WriteByte(0x6A22, 0x78);
    image.WriteByte(0x6A23, 0x56);
    EXPECT_EQ(ReadVectorArgRaw(image, 0x6A20, 0, 1), 0x12u);
    EXPECT_EQ(ReadVectorArgRaw(image, 0x6A20, 1, 1), 0x5678u);
    EXPECT_EQ(ReadVectorArgRaw(image, 0x6A20, 2, 1), 0u);
}

TEST(ParameterStorage, VectorRangesAndCounts) {
    VectorRecord v;
    v.Mark = "V";
    v.AddressPar = 0x7F00;
    v.TypePar = 3;
    v.AddressArg = 0x7E00;
    v.TypeArg = 0;
    v.Count = 128; // words 0x7F00..0x7FFF
    EXPECT_FALSE(VectorProblem(v).has_value());
    v.AddressPar = 0x7F01; // the last word's high byte would be 0x8000
    EXPECT_EQ(VectorProblem(v), "массив значений 0x7F01..0x8000 вне образа 0x0000..0x7FFF");
    v.AddressPar = 0x7F00;
    v.Count = 129;
    EXPECT_TRUE(VectorProblem(v).has_value());
    v.Count = 256;
    v.TypePar = 2;
    EXPECT_FALSE(VectorProblem(v).has_value());
    v.TypeArg = 1; // 512 bytes from 0x7E00 reach 0x7FFF exactly
    EXPECT_FALSE(VectorProblem(v).has_value());
    v.AddressArg = 0x7E01;
    EXPECT_TRUE(VectorProblem(v).has_value());
    v.AddressArg = 0;
    v.Count = 0;
    EXPECT_TRUE(VectorProblem(v).has_value());
    v.Count = 257;
    EXPECT_TRUE(VectorProblem(v).has_value());
    v.Count = 4;
    v.AddressPar = -2;
    EXPECT_TRUE(VectorProblem(v).has_value());
    v.TypePar = 8; // reads nothing, so its address does not matter
    EXPECT_FALSE(VectorProblem(v).has_value());
}

// Number texts and parsing, run in the "C" locale and again with the C library in a locale
// whose decimal separator is a comma: only the separator given may show.
class ParameterFormat : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam())
            return;
        comma_ = std::make_unique<CommaLocale>();
        if (!comma_->ok())
            GTEST_SKIP() << CommaLocale::Missing;
    }
    std::unique_ptr<CommaLocale> comma_;
};

TEST_P(ParameterFormat, FixedAndGeneralTexts) {
    EXPECT_EQ(FormatFixed(400, 0, ','), "400");
    EXPECT_EQ(FormatFixed(20.0, 1, ','), "20,0");
    EXPECT_EQ(FormatFixed(0.968, 3, ','), "0,968");
    EXPECT_EQ(FormatFixed(1.6, 3, '.'), "1.600");
    EXPECT_EQ(FormatGeneral(0.968, '.'), "0.968");
    EXPECT_EQ(FormatGeneral(1e-20, ','), "1e-20");
    EXPECT_EQ(FormatFixed(12.25, 1, ','), "12,3");
    EXPECT_EQ(FormatFixed(0.078125, 2, ','), "0,08");
    EXPECT_EQ(FormatFixed(-0.0, 2, ','), "0,00");
    EXPECT_EQ(FormatFixed(-0.001, 2, ','), "0,00");
    EXPECT_EQ(FormatFixed(-0.01, 2, '.'), "-0.01");
    EXPECT_EQ(FormatFixed(850, 0, ','), "850");
    EXPECT_EQ(FormatFixed(2.675, 2, '.'), "2.68"); // 15 digits first, then half away from zero
    EXPECT_EQ(FormatFixed(-2.5, 0, '.'), "-3");
    EXPECT_EQ(FormatFixed(9.96, 1, '.'), "10.0");
    EXPECT_EQ(FormatFixed(0.0004, 3, '.'), "0.000");
    EXPECT_EQ(FormatFixed(0.0005, 3, '.'), "0.001");
    EXPECT_EQ(FormatFixed(0.004, 1, '.'), "0.0");
    EXPECT_EQ(FormatFixed(123456.5, 2, '.'), "123456.50");
    EXPECT_EQ(FormatFixed(0, 0, '.'), "0");
    EXPECT_EQ(FormatGeneral(11.02, ','), "11,02");
    EXPECT_EQ(FormatGeneral(-0.0, ','), "0");
    EXPECT_EQ(FormatGeneral(6200, ','), "6200");
    EXPECT_EQ(FormatGeneral(INFINITY, ','), "INF");
    // 15 significant digits: enough for every digit typed, too few to show binary noise.
    EXPECT_EQ(FormatGeneral(0.1 + 0.2, '.'), "0.3");
    EXPECT_EQ(FormatGeneral(1.0 / 3, '.'), "0.333333333333333");
    EXPECT_EQ(FormatFixed(123456789.123456, 6, '.'), "123456789.123456");
    EXPECT_EQ(FormatFixed(0.1 + 0.2, 15, ','), "0,300000000000000");
    // Rounded once, at the 15th digit: a 16th digit would round up what the 17th rounds down.
    EXPECT_EQ(FormatFixed(1.2345678901234449, 14, '.'), "1.23456789012344");
}

TEST_P(ParameterFormat, ParsingUsesOnlyTheGivenSeparator) {
    EXPECT_EQ(ParseDecimal("12,5", ','), 12.5);
    EXPECT_FALSE(ParseDecimal("12.5", ',').has_value());
    EXPECT_EQ(ParseDecimal(" -3 ", ','), -3.0);
    EXPECT_EQ(ParseDecimal("\t+3,5\t", ','), 3.5);
    EXPECT_EQ(ParseDecimal("1,5e2", ','), 150.0);
    EXPECT_EQ(ParseDecimal("1,5E-1", ','), 0.15);
    EXPECT_EQ(ParseDecimal("12.5", '.'), 12.5);
    EXPECT_FALSE(ParseDecimal("12,5", '.').has_value());
    EXPECT_FALSE(ParseDecimal("-", ',').has_value());
    EXPECT_FALSE(ParseDecimal("", ',').has_value());
    EXPECT_FALSE(ParseDecimal("abc", ',').has_value());
    EXPECT_FALSE(ParseDecimal("inf", ',').has_value());
    EXPECT_FALSE(ParseDecimal("1,2,3", ',').has_value());
}

INSTANTIATE_TEST_SUITE_P(Locales, ParameterFormat, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "CommaLocale" : "CLocale";
                         });

} // namespace
