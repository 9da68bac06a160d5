#include "image/firmware_image.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

class DecodeTest : public ::testing::Test {
protected:
    FirmwareImage img;
};

TEST_F(DecodeTest, DecodedMembersAreZeroBeforeTheFirstDecode) {
    EXPECT_EQ(img.Tau[5][5], 0.0);
    EXPECT_EQ(img.Lambda[38][21], 0.0);
    EXPECT_EQ(img.FullLoad[10].Tau, 0.0);
    EXPECT_EQ(img.Nuz[3], 0);
    EXPECT_FALSE(img.UseO2Maps);
    EXPECT_FALSE(img.IsModified());
}

TEST_F(DecodeTest, MainMapFormulas) {
    img.WriteByte(0x7050, 0x10);
    img.WriteByte(0x7051, 0x20);
    img.WriteByte(0x65FC, 0x05);
    EXPECT_EQ(img.PRaw[0], 80);
    EXPECT_EQ(img.P[0], 71);
    EXPECT_DOUBLE_EQ(img.Tau[0][0], 0.96);
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 16.0);
    EXPECT_DOUBLE_EQ(img.Lambda[0][0], 71 / ((0.96 - 0.54) * 2.576 * 14.7));
    // Row 1, column 2 lies 44 + 4 bytes further.
    img.WriteByte(0x7050 + 44 + 4, 100);
    img.WriteByte(0x7050 + 44 + 5, 7);
    EXPECT_DOUBLE_EQ(img.Tau[1][2], (100 - 48) * 0.02);
    EXPECT_DOUBLE_EQ(img.Uoz[1][2], 3.5);
}

// Lambda is formed left to right, ((Tau - offset) * gain) * ratio, to the last bit: decode
// output is compared digit for digit, and folding gain * ratio first changes a third of the
// cells in their last bit.
TEST_F(DecodeTest, LambdaIsFormedLeftToRight) {
    for (int n = 0; n < 22; ++n)
        img.WriteByte(static_cast<uint16_t>(0x65FC + n), static_cast<uint8_t>(3 + 11 * n));
    for (int r = 0; r < 39; ++r)
        for (int c = 0; c < 22; ++c)
            img.WriteByte(static_cast<uint16_t>(0x7050 + 44 * r + 2 * c),
                          static_cast<uint8_t>(7 * r + 13 * c));
    int differing = 0;
    for (int r = 0; r < 39; ++r)
        for (int c = 0; c < 22; ++c)
            if (img.Lambda[r][c] != img.P[c] / ((img.Tau[r][c] - 0.54) * 2.576 * 14.7))
                ++differing;
    EXPECT_EQ(differing, 0);
}

TEST_F(DecodeTest, TauSumIsSignedAndLambdaFollowsItsSign) {
    img.WriteWord(0x161E, 1000); // TauBase far above fuel code and load
    img.WriteByte(0x65FC + 3, 2);
    img.WriteByte(0x7050 + 6, 20);
    EXPECT_EQ(img.TauBase, 1000);
    EXPECT_DOUBLE_EQ(img.Tau[0][3], (20 + 32 - 1000 - 48) * 0.02);
    EXPECT_LT(img.Lambda[0][3], 0.0);
    // Columns with a zero load point give a zero numerator.
    EXPECT_EQ(img.Lambda[0][0], 0.0);
}

TEST_F(DecodeTest, LambdaAtAZeroDivisorIsTheIeeeResult) {
    // TauBase 0; column 0: load 0, fuel code 75; column 1: PRaw 48, fuel code 27. Both give
    // Tau = 27 * 0.02 = InjectorOffset.
    img.WriteByte(0x7050, 75);
    img.WriteByte(0x65FC + 1, 3);
    img.WriteByte(0x7050 + 2, 27);
    ASSERT_EQ(img.Tau[0][0] - img.InjectorOffset, 0.0);
    EXPECT_TRUE(std::isnan(img.Lambda[0][0])); // 0 / 0
    ASSERT_EQ(img.Tau[0][1] - img.InjectorOffset, 0.0);
    EXPECT_TRUE(std::isinf(img.Lambda[0][1]));
    EXPECT_GT(img.Lambda[0][1], 0.0);
}

TEST_F(DecodeTest, AxesAndFullLoadCurves) {
    img.WriteByte(0x661C, 24);
    img.WriteByte(0x661C + 38, 255);
    img.WriteWord(0x688A, 9);
    img.WriteWord(0x688A + 2, 100);
    img.WriteWord(0x688A + 4, 65535);
    img.WriteByte(0x68D8, 48);
    img.WriteByte(0x68D8 + 1, 190);
    img.WriteByte(0x68D8 + 2, 0);
    EXPECT_EQ(img.Nuz[0], 600);
    EXPECT_EQ(img.Nuz[38], 6375);
    EXPECT_EQ(img.Pmax[0], 8);
    EXPECT_EQ(img.Pmax[1], 89);
    EXPECT_EQ(img.Pmax[2], 58253);
    EXPECT_EQ(img.PmaxRaw[2], 65535);
    EXPECT_DOUBLE_EQ(img.Drmax[0], 0.0);
    EXPECT_DOUBLE_EQ(img.Drmax[1], 100.0);
    EXPECT_NEAR(img.Drmax[2], -33.8028, 1e-4);
}

TEST_F(DecodeTest, CorrectionMapIsStoredColumnByColumn) {
    img.WriteByte(0x6E20, 64);                      // row 0, column 0, fuel
    img.WriteByte(0x6E20 + 1, 3);                   // row 0, column 0, ignition
    img.WriteByte(0x6E20 + 78, 128);                // row 0, column 1
    img.WriteByte(0x6E20 + 2, 32);                  // row 1, column 0
    img.WriteByte(0x6E20 + 78 * 6 + 2 * 38 + 1, 9); // row 38, column 6, ignition
    EXPECT_DOUBLE_EQ(img.CoefCorTau[0][0], 0.25);
    EXPECT_DOUBLE_EQ(img.CoefCorUoz[0][0], 1.5);
    EXPECT_DOUBLE_EQ(img.CoefCorTau[0][1], 0.5);
    EXPECT_DOUBLE_EQ(img.CoefCorTau[1][0], 0.125);
    EXPECT_DOUBLE_EQ(img.CoefCorUoz[38][6], 4.5);
    EXPECT_DOUBLE_EQ(img.CoefCorTau[0][2], 0.0);
}

TEST_F(DecodeTest, SecondMapSetReadsItsOwnAddresses) {
    img.WriteByte(0x7050, 60);
    img.WriteByte(0x7051, 10);
    img.WriteByte(0x6E20, 64);
    img.WriteByte(0x7710, 80);
    img.WriteByte(0x7711, 20);
    img.WriteByte(0x7DD0, 128);
    img.WriteByte(0x6CCC, 128);
    img.WriteByte(0x661C, 40);
    img.UseO2Maps = true;
    img.Decode();
    EXPECT_DOUBLE_EQ(img.Tau[0][0], (80 - 48) * 0.02);
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 10.0);
    EXPECT_DOUBLE_EQ(img.CoefCorTau[0][0], 0.5);
    EXPECT_DOUBLE_EQ(img.Rcod[0][0], 0.5);
    EXPECT_EQ(img.Nuz[0], 1000);
    img.UseO2Maps = false;
    img.Decode();
    EXPECT_DOUBLE_EQ(img.Tau[0][0], (60 - 48) * 0.02);
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 5.0);
    EXPECT_DOUBLE_EQ(img.CoefCorTau[0][0], 0.25);
}

TEST_F(DecodeTest, RcodIsRowMajor) {
    img.WriteByte(0x6CCC + 11 * 2 + 3, 64);
    img.WriteByte(0x6CCC + 11 * 9 + 10, 255);
    EXPECT_DOUBLE_EQ(img.Rcod[2][3], 0.25);
    EXPECT_DOUBLE_EQ(img.Rcod[9][10], 255 / 256.0);
    EXPECT_DOUBLE_EQ(img.Rcod[3][2], 0.0);
}

TEST_F(DecodeTest, ThrottleSegments) {
    const uint8_t raw[] = {70, 71, 86, 87, 157, 158, 255, 0, 135};
    const int seg[] = {1, 2, 2, 3, 6, 7, 7, 1, 6};
    for (int i = 0; i < 9; ++i)
        img.WriteByte(static_cast<uint16_t>(0x68D8 + i), raw[i]);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(img.DrmaxSeg[i], seg[i]) << "raw " << int(raw[i]);
}

TEST_F(DecodeTest, ThrottleInterpolation) {
    // Row 0: throttle raw 135 starts segment 6, so the value is that of column 4.
    // Row 1: raw 79, segment 2: g = (79 - 71) * 16 / 256 = 0.5 between columns 0 and 1.
    // Row 2: raw 50, segment 1: column 0 is held.
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 7; ++k) {
            img.WriteByte(static_cast<uint16_t>(0x6E20 + 78 * k + 2 * r),
                          static_cast<uint8_t>(16 * (k + 1)));
            img.WriteByte(static_cast<uint16_t>(0x6E20 + 78 * k + 2 * r + 1),
                          static_cast<uint8_t>(2 * (k + 1)));
        }
    img.WriteByte(0x68D8, 135);
    img.WriteByte(0x68D8 + 1, 79);
    img.WriteByte(0x68D8 + 2, 50);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorTau[0], img.CoefCorTau[0][4]);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorUoz[0], img.CoefCorUoz[0][4]);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorTau[1], (16 + 8) / 256.0);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorUoz[1], 1.5);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorTau[2], img.CoefCorTau[2][0]);
    EXPECT_DOUBLE_EQ(img.DrmaxCoefCorUoz[2], img.CoefCorUoz[2][0]);
}

class FullLoadTest : public DecodeTest {
protected:
    void SetUp() override {
        // Load axis raw 3, 5, ... 45 (PRaw 48, 80, ... 720); Uoz of column c is c degrees.
        for (int n = 0; n < 22; ++n) {
            img.WriteByte(static_cast<uint16_t>(0x65FC + n), static_cast<uint8_t>(3 + 2 * n));
            img.WriteByte(static_cast<uint16_t>(0x7050 + 2 * n + 1), static_cast<uint8_t>(2 * n));
            img.WriteByte(static_cast<uint16_t>(0x7050 + 2 * n), 100);
        }
    }
    void DecodeWithAirFlow(uint16_t raw) { img.WriteWord(0x688A, raw); }
};

TEST_F(FullLoadTest, InterpolatesBetweenTheNeighbouringLoadPoints) {
    DecodeWithAirFlow(96); // between PRaw 80 (column 1) and 112 (column 2)
    EXPECT_EQ(img.PmaxCol[0], 2);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Pos, 1.5);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Uoz, 1.5);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Tau, (img.Tau[0][1] + img.Tau[0][2]) / 2);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Lambda, (img.Lambda[0][1] + img.Lambda[0][2]) / 2);
    // The derived correction maps use the full-load values of their row.
    img.WriteByte(0x6E20 + 1, 1);
    img.WriteByte(0x6E20, 128);
    EXPECT_DOUBLE_EQ(img.CorUoz[0][0], 1.5 - 0.5);
    EXPECT_DOUBLE_EQ(img.CorTau[0][0], 1.5 * img.FullLoad[0].Tau);
}

TEST_F(FullLoadTest, AnAirFlowEqualToALoadPointSelectsTheNextColumn) {
    DecodeWithAirFlow(80);
    EXPECT_EQ(img.PmaxCol[0], 2);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Pos, 1.0);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Uoz, 1.0);
}

TEST_F(FullLoadTest, ColumnStaysInsideTheRowBelowAndAboveTheAxis) {
    DecodeWithAirFlow(16); // below PRaw[0] = 48: column 0, interpolation from columns 0 and 1
    EXPECT_EQ(img.PmaxCol[0], 0);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Pos, -1.0);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Uoz, -1.0);
    DecodeWithAirFlow(2000); // no load point above: column 21
    EXPECT_EQ(img.PmaxCol[0], 21);
    EXPECT_DOUBLE_EQ(img.FullLoad[0].Pos, 20 + (2000 - 688) / 32.0);
    EXPECT_TRUE(std::isfinite(img.FullLoad[0].Uoz));
    // A stale value from an earlier decode never survives.
    DecodeWithAirFlow(96);
    EXPECT_EQ(img.PmaxCol[0], 2);
}

TEST(Checksum, AreaOfOnesGivesF007) {
    FirmwareImage img;
    for (uint32_t a = 0x6000; a <= 0x7FF1; ++a)
        img.WriteByte(static_cast<uint16_t>(a), 0xFF);
    img.WriteByte(0x7FF2, 0x12); // outside the summed range
    img.WriteByte(0x5FEF, 0x34);
    img.UpdateChecksum();
    EXPECT_EQ(img.ReadByte(0x5FF0), 0x07);
    EXPECT_EQ(img.ReadByte(0x5FF1), 0xF0);
    EXPECT_EQ(img.StoredChecksum(), 0xF007);
    EXPECT_EQ(img.ComputeChecksum(), 0xF007);
}

TEST(Checksum, IsModifiedComparesWithTheLoadedCopy) {
    FirmwareImage img;
    EXPECT_FALSE(img.IsModified());
    img.WriteByte(0x7FFF, 1);
    EXPECT_TRUE(img.IsModified());
    img.WriteByte(0x7FFF, 0);
    EXPECT_FALSE(img.IsModified());
    img.UpdateChecksum(); // all zero: checksum 0, nothing changes
    EXPECT_FALSE(img.IsModified());
}

} // namespace
