// The image keeps its decoded tables current by itself: after every write and load, once per
// batch, and a scratch image made from bytes decodes as a loaded file does.
#include "change_recorder.h"
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

// Every decoded table and text of two images agrees to the last bit (NaN included).
testing::AssertionResult SameDecoding(const FirmwareImage& a, const FirmwareImage& b) {
#define VELMARIS_SAME(member)                                                                      \
    if (std::memcmp(&a.member, &b.member, sizeof a.member) != 0)                                   \
        return testing::AssertionFailure() << #member " differs";
    VELMARIS_SAME(Tau)
    VELMARIS_SAME(Uoz)
    VELMARIS_SAME(Lambda)
    VELMARIS_SAME(CoefCorTau)
    VELMARIS_SAME(CoefCorUoz)
    VELMARIS_SAME(CorTau)
    VELMARIS_SAME(CorUoz)
    VELMARIS_SAME(Rcod)
    VELMARIS_SAME(Pmax)
    VELMARIS_SAME(Drmax)
    VELMARIS_SAME(Nuz)
    VELMARIS_SAME(P)
    VELMARIS_SAME(FullLoad)
    VELMARIS_SAME(DrmaxCoefCorTau)
    VELMARIS_SAME(DrmaxCoefCorUoz)
#undef VELMARIS_SAME
    for (int i = 0; i < FirmwareImage::IdentCount; ++i)
        if (std::strcmp(a.IdentText(i), b.IdentText(i)) != 0)
            return testing::AssertionFailure() << FirmwareImage::IdentName(i) << " differs";
    return testing::AssertionSuccess();
}

// Varied bytes with a rising load axis, so every table holds ordinary values.
std::vector<uint8_t> VariedBytes() {
    std::vector<uint8_t> bytes = PatternBytes(13, 5);
    const FirmwareImage layout;
    for (int n = 0; n < FirmwareImage::LoadCols; ++n)
        bytes[layout.AddrP + n] = static_cast<uint8_t>(3 + 2 * n);
    return bytes;
}

// Reads a table cell in the middle of a listener's call, to see what listeners see.
class TableReader : public ImageListener {
public:
    explicit TableReader(FirmwareImage& image) : image_(image) { image_.AddListener(this); }
    ~TableReader() override { image_.RemoveListener(this); }
    void DataChanged(const ChangeSet&) override { uoz = image_.Uoz[0][0]; }
    void DataReplaced() override { uoz = image_.Uoz[0][0]; }
    double uoz = -1;

private:
    FirmwareImage& image_;
};

TEST(SelfDecode, EveryWriteAndLoadLeavesTheTablesCurrentBeforeListenersHear) {
    FirmwareImage img;
    TableReader reader(img);
    img.WriteByte(img.AddrMainMap + 1, 21); // Uoz(0,0) = 10.5
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 10.5);
    EXPECT_DOUBLE_EQ(reader.uoz, 10.5);
    img.WriteWord(img.AddrPmax, 900);
    EXPECT_EQ(img.PmaxRaw[0], 900);
    img.WriteByte(img.AddrCarBody, 'Q');
    EXPECT_STREQ(img.CarBody, "Q");

    std::vector<uint8_t> bytes(ImageBytes(img));
    bytes[img.AddrMainMap + 1] = 30;
    img.ReplaceData(bytes.data());
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 15.0);
    EXPECT_DOUBLE_EQ(reader.uoz, 15.0);

    TempDir dir;
    bytes[img.AddrMainMap + 1] = 8;
    FirmwareImage::FromBytes(bytes.data())->SaveBin(dir.File("a.bin"));
    img.LoadBin(dir.File("a.bin"));
    EXPECT_DOUBLE_EQ(img.Uoz[0][0], 4.0);
    EXPECT_DOUBLE_EQ(reader.uoz, 4.0);
}

TEST(SelfDecode, ABatchDecodesOnceWhenTheOutermostBatchEnds) {
    FirmwareImage img;
    const std::size_t start = img.DecodeCount();
    {
        FirmwareImage::WriteBatch outer(img);
        {
            FirmwareImage::WriteBatch inner(img);
            for (int c = 0; c < FirmwareImage::LoadCols; ++c)
                img.WriteByte(static_cast<uint16_t>(img.AddrMainMap + 2 * c + 1), 4);
        }
        img.WriteWord(img.AddrPmax, 900);
        EXPECT_EQ(img.DecodeCount(), start);   // nothing decoded inside the batch
        EXPECT_DOUBLE_EQ(img.Uoz[0][21], 0.0); // so the tables still lag behind
    }
    EXPECT_EQ(img.DecodeCount(), start + 1);
    EXPECT_DOUBLE_EQ(img.Uoz[0][21], 2.0);
    EXPECT_EQ(img.PmaxRaw[0], 900);

    // Writes that change nothing, in a batch or not, decode nothing.
    {
        FirmwareImage::WriteBatch batch(img);
        img.WriteByte(img.AddrMainMap + 1, 4);
    }
    img.WriteWord(img.AddrPmax, 900);
    img.ReplaceData(img.Bytes());
    EXPECT_EQ(img.DecodeCount(), start + 1);
}

TEST(SelfDecode, AScratchImageFromBytesEqualsTheSameBytesLoadedFromAFile) {
    const std::vector<uint8_t> bytes = VariedBytes();
    TempDir dir;
    FirmwareImage::FromBytes(bytes.data())->SaveBin(dir.File("varied.bin"));
    for (bool useO2 : {false, true}) {
        SCOPED_TRACE(useO2 ? "second map set" : "first map set");
        FirmwareImage loaded;
        loaded.UseO2Maps = useO2;
        loaded.LoadBin(dir.File("varied.bin"));
        const auto scratch = FirmwareImage::FromBytes(bytes.data(), useO2);
        EXPECT_EQ(ImageBytes(*scratch), bytes);
        EXPECT_EQ(std::memcmp(scratch->LoadedBytes(), bytes.data(), bytes.size()), 0);
        EXPECT_FALSE(scratch->IsModified());
        EXPECT_EQ(scratch->UseO2Maps, useO2);
        EXPECT_TRUE(SameDecoding(*scratch, loaded));
        // It stands for no file: never a whole image to program.
        EXPECT_FALSE(scratch->Loaded);
        EXPECT_FALSE(scratch->Complete);
    }
}

// A new image is the one state whose tables are not its decoded bytes: flat zeros until the
// first load or write, so the view draws nothing before a file is opened.
TEST(SelfDecode, ANewImageStaysUndecodedUntilItsFirstChange) {
    FirmwareImage img;
    EXPECT_EQ(img.DecodeCount(), 0u);
    EXPECT_EQ(img.Tau[0][0], 0.0);
    img.WriteByte(0x0100, 1);
    EXPECT_EQ(img.DecodeCount(), 1u);
    EXPECT_DOUBLE_EQ(img.Tau[0][0], -0.96); // (0 + 0 - 0 - 48) * 0.02
}

} // namespace
