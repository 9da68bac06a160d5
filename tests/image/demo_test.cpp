#include "demo_image.h"
#include "image/codepage.h"
#include "image/firmware_image.h"
#include "image/hex_format.h"
#include "temp_dir.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class DemoImageTest : public ::testing::Test {
protected:
    void SetUp() override { BuildDemoImage(img); }
    FirmwareImage img;
};

TEST_F(DemoImageTest, CommittedFilesAreUpToDate) {
    const std::string bin = ReadTextFile(VELMARIS_SOURCE_DIR "/examples/demo.bin");
    ASSERT_EQ(bin.size(), FirmwareImage::Size) << "run velmaris-mkdemo examples";
    EXPECT_EQ(std::memcmp(bin.data(), img.Bytes(), FirmwareImage::Size), 0)
        << "examples/demo.bin is stale: run velmaris-mkdemo examples";
    EXPECT_EQ(ReadTextFile(VELMARIS_SOURCE_DIR "/examples/demo.hex"), WriteHexText(img.Bytes()))
        << "examples/demo.hex is stale: run velmaris-mkdemo examples";
}

TEST_F(DemoImageTest, AxesAndCurvesArePlausible) {
    EXPECT_EQ(img.Nuz[0], 600);
    EXPECT_EQ(img.Nuz[38], 6375);
    for (int i = 1; i < FirmwareImage::Rows; ++i)
        EXPECT_GT(img.Nuz[i], img.Nuz[i - 1]);
    for (int n = 1; n < FirmwareImage::LoadCols; ++n)
        EXPECT_GT(img.PRaw[n], img.PRaw[n - 1]);
    for (int i = 0; i < FirmwareImage::Rows; ++i) {
        // The full-load and throttle curves cross the axes, inside both.
        EXPECT_GT(img.PmaxRaw[i], img.PRaw[0]);
        EXPECT_LT(img.PmaxRaw[i], img.PRaw[21]);
        EXPECT_GT(img.DrmaxRaw[i], 71);
        EXPECT_LT(img.DrmaxRaw[i], 190);
        for (int c = 0; c < FirmwareImage::LoadCols; ++c) {
            EXPECT_GT(img.Lambda[i][c], 0.9);
            EXPECT_LT(img.Lambda[i][c], 1.1);
            EXPECT_GT(img.Uoz[i][c], 0.0);
        }
    }
    // Every fuel code fits its byte without clamping: a clamped code flattens the map and
    // turns the mixture lean again at full load.
    for (const uint16_t base : {img.AddrMainMap, img.AddrMainMapO2})
        for (int i = 0; i < FirmwareImage::Rows; ++i)
            for (int c = 0; c < FirmwareImage::LoadCols; ++c) {
                const int fuel = img.ReadByte(static_cast<uint16_t>(base + 44 * i + 2 * c));
                EXPECT_GT(fuel, 0) << "row " << i << " column " << c;
                EXPECT_LT(fuel, 255) << "row " << i << " column " << c;
            }
    EXPECT_GT(img.PmaxCol[0], 5);
    EXPECT_LT(img.PmaxCol[20], 21);
    EXPECT_EQ(img.StoredChecksum(), img.ComputeChecksum());
    img.UseO2Maps = true;
    img.Decode();
    for (int c = 0; c < FirmwareImage::LoadCols; ++c)
        EXPECT_NEAR(img.Lambda[20][c], 1.0, 0.03);
}

TEST_F(DemoImageTest, IdentTextsAreCyrillic) {
    EXPECT_EQ(Cp1251ToUtf8(img.EcuType), "Контроллер ВМ-32");
    EXPECT_EQ(img.ReadByte(0x6030), 0x8A); // 'К' in code page 866
    EXPECT_EQ(Cp1251ToUtf8(img.CarBody), "Седан 4 двери");
}

// The raw values that the demo parameter database (a copy of the database fixture) expects.
TEST_F(DemoImageTest, HoldsTheParameterDatabaseValues) {
    const std::pair<uint16_t, uint8_t> bytes[] = {{0x6104, 0x55}, {0x6106, 0x1C}, {0x6107, 0x0C},
                                                  {0x6108, 0x8D}, {0x6109, 0x88}, {0x610A, 0x1E},
                                                  {0x6210, 0xF5}, {0x6211, 0x00}, {0x6212, 0x1D},
                                                  {0x6213, 0x8D}, {0x6214, 0x14}, {0x6215, 0x95}};
    for (const auto& [address, value] : bytes)
        EXPECT_EQ(img.ReadByte(address), value) << std::hex << address;
    // Vector arguments rise; coolant temperature raw 0..160.
    EXPECT_EQ(img.ReadByte(0x6670), 0);
    EXPECT_EQ(img.ReadByte(0x667F), 160);
    for (int i = 1; i < 16; ++i) {
        EXPECT_GT(img.ReadByte(static_cast<uint16_t>(0x6670 + i)),
                  img.ReadByte(static_cast<uint16_t>(0x6670 + i - 1)));
        EXPECT_GT(img.ReadByte(static_cast<uint16_t>(0x6920 + i)),
                  img.ReadByte(static_cast<uint16_t>(0x6920 + i - 1)));
        EXPECT_GT(img.ReadByte(static_cast<uint16_t>(0x6930 + i)),
                  img.ReadByte(static_cast<uint16_t>(0x6930 + i - 1)));
    }
    for (int i = 1; i < 8; ++i)
        EXPECT_GT(img.ReadWord(static_cast<uint16_t>(0x6690 + 2 * i)),
                  img.ReadWord(static_cast<uint16_t>(0x6690 + 2 * i - 2)));
    for (int i = 1; i < 32; ++i)
        EXPECT_GT(img.ReadWord(static_cast<uint16_t>(0x6A20 + 2 * i)),
                  img.ReadWord(static_cast<uint16_t>(0x6A20 + 2 * i - 2)));
    // Values in range: idle speed 600..2000 rpm, injector delay 0..4 ms, temperatures
    // -40..215 °C (any byte), idle advance -10..40 degrees.
    for (int i = 0; i < 16; ++i) {
        const int rpm = img.ReadByte(static_cast<uint16_t>(0x6660 + i)) * 10;
        EXPECT_GE(rpm, 600);
        EXPECT_LE(rpm, 2000);
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_LE(img.ReadWord(static_cast<uint16_t>(0x6680 + 2 * i)) * 0.004, 4.0);
    for (int i = 0; i < 32; ++i) {
        const double advance = img.ReadByte(static_cast<uint16_t>(0x6A00 + i)) / 2.0 - 10;
        EXPECT_GE(advance, -10.0);
        EXPECT_LE(advance, 40.0);
    }
}

} // namespace
