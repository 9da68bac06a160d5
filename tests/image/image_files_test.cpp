#include "file_size_limit.h"
#include "image/firmware_image.h"
#include "image/hex_format.h"
#include "temp_dir.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// A data record line (without line end) with a correct checksum.
std::string Record(uint16_t address, const std::vector<uint8_t>& data, uint8_t type = 0) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                  static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : bytes)
        sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(-sum));
    std::string line = ":";
    char hex[3];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

void FillPattern(FirmwareImage& img) {
    for (uint32_t a = 0; a < FirmwareImage::Size; ++a)
        img.WriteByte(static_cast<uint16_t>(a), static_cast<uint8_t>((a * 7 + (a >> 8)) & 0xFF));
}

bool SameData(const FirmwareImage& a, const FirmwareImage& b) {
    return std::memcmp(a.Bytes(), b.Bytes(), FirmwareImage::Size) == 0;
}

// The lines of a whole HEX file of the image as SaveHex writes it: the upper address record,
// 2048 data records (line 1 + n holds address 16 * n), the end record.
std::vector<std::string> WholeHexLines(const FirmwareImage& img) {
    std::vector<std::string> lines;
    std::istringstream text(WriteHexText(img.Bytes()));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line + "\n");
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line;
    return text;
}

using Ranges = std::vector<AddressRange>;

class HexFileTest : public ::testing::Test {
protected:
    HexLoadResult Load(const std::string& text) {
        WriteTextFile(dir.File("in.hex"), text);
        return img.LoadHex(dir.File("in.hex"));
    }
    TempDir dir;
    FirmwareImage img;
};

TEST_F(HexFileTest, SaveHexWritesTheExactText) {
    img.WriteByte(0x7FF0, 0xFF);
    for (int i = 0; i < 16; ++i)
        img.WriteByte(static_cast<uint16_t>(0x7FF0 + i), 0xFF);
    img.SaveHex(dir.File("out.hex"));
    const std::string text = ReadTextFile(dir.File("out.hex"));
    ASSERT_EQ(text.size(), 17u + 2048 * 45 + 13);
    EXPECT_EQ(text.substr(0, 17), ":0200000400C03A\r\n");
    EXPECT_EQ(text.substr(17, 45), ":10000000" + std::string(32, '0') + "F0\r\n");
    EXPECT_EQ(text.substr(17 + 2047 * 45, 45), ":107FF000" + std::string(32, 'F') + "91\r\n");
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
    EXPECT_EQ(text, WriteHexText(img.Bytes()));
}

TEST_F(HexFileTest, RoundTripsKeepEveryByte) {
    FillPattern(img);
    img.SaveHex(dir.File("a.hex"));
    img.SaveBin(dir.File("a.bin"));
    EXPECT_EQ(std::filesystem::file_size(dir.File("a.bin")), FirmwareImage::Size);
    FirmwareImage fromHex, fromBin;
    EXPECT_TRUE(fromHex.LoadHex(dir.File("a.hex")).complete);
    fromBin.LoadBin(dir.File("a.bin"));
    EXPECT_TRUE(SameData(img, fromHex));
    EXPECT_TRUE(SameData(img, fromBin));
    EXPECT_FALSE(fromHex.IsModified());
    EXPECT_FALSE(fromBin.IsModified());
}

TEST_F(HexFileTest, AcceptsLowerCaseBlanksAndBothLineEnds) {
    const HexLoadResult r =
        Load(": 10 7f f0 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 f9\r\n"
             "\t:02001000abcd76 \n" +
             Record(0x0020, {0x5A}));
    EXPECT_EQ(r.stop, HexStop::None) << r.reason;
    EXPECT_EQ(img.ReadByte(0x7FF0), 0x01);
    EXPECT_EQ(img.ReadByte(0x7FFF), 0x10);
    EXPECT_EQ(img.ReadWord(0x0010), 0xCDAB);
    EXPECT_EQ(img.ReadByte(0x0020), 0x5A); // last line without a line feed
}

// Each data record lands at the full address the upper address records give it; the unit's
// own addresses 0xC00000.. are the image as much as 0x0000.. are, anything else is not.
TEST_F(HexFileTest, UpperAddressRecordsGiveTheFullAddress) {
    FirmwareImage pattern;
    FillPattern(pattern);
    std::vector<std::string> lines = WholeHexLines(pattern);
    HexLoadResult r = Load(Join(lines));
    EXPECT_TRUE(r.complete) << r.reason;
    EXPECT_TRUE(SameData(img, pattern));
    EXPECT_TRUE(img.Complete);
    // The same records without the upper address record.
    EXPECT_TRUE(Load(Join({lines.begin() + 1, lines.end()})).complete);

    // A second upper word: its record is not folded onto the first 32 KB.
    std::vector<std::string> second = lines;
    second.insert(second.end() - 1, {":020000040001F9\n", Record(0x0000, {0x99, 0x98}) + "\n"});
    r = Load(Join(second));
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(img.Complete);
    EXPECT_EQ(r.outside, (Ranges{{0x10000, 0x10001}}));
    EXPECT_TRUE(r.missing.empty());
    EXPECT_EQ(img.ReadByte(0), pattern.ReadByte(0));

    // Segment records count 16 bytes a step: segment 0x0800 starts right after the image, and
    // the last upper record of either type decides.
    r = Load(":020000020800F4\n" + Record(0x0010, {1}) + "\n:0200000400C03A\n" +
             Record(0x0020, {2}) + "\n:00000001FF\n");
    EXPECT_EQ(r.outside, (Ranges{{0x8010, 0x8010}}));
    EXPECT_EQ(img.ReadByte(0x10), 0);
    EXPECT_EQ(img.ReadByte(0x20), 2);

    // An upper record without its two bytes ends the load.
    r = Load(Record(0, {5}) + "\n" + Record(0, {0xC0}, 4) + "\n" + Record(1, {6}) + "\n");
    EXPECT_EQ(r.stop, HexStop::BadExtendedAddress);
    EXPECT_EQ(r.line, 2);
    EXPECT_EQ(img.ReadByte(1), 0);
}

// A file that stops short, leaves holes or holds nothing is not the whole image, whether or not
// each of its lines is valid; the load says which addresses it did not give.
TEST_F(HexFileTest, CutAndHoleyFilesNameTheMissingAddresses) {
    FirmwareImage pattern;
    FillPattern(pattern);
    const std::vector<std::string> lines = WholeHexLines(pattern);

    // Cut at a line boundary: the first 1000 lines hold 999 data records.
    HexLoadResult r = Load(Join({lines.begin(), lines.begin() + 1000}));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.stop, HexStop::None);
    EXPECT_FALSE(r.endRecord);
    EXPECT_EQ(r.missing, (Ranges{{0x3E70, 0x7FFF}}));
    EXPECT_EQ(img.ReadByte(0x3E6F), pattern.ReadByte(0x3E6F));
    EXPECT_TRUE(img.Loaded);
    EXPECT_FALSE(img.Complete);

    // Records missing in the middle, end record present.
    std::vector<std::string> holey = lines;
    holey.erase(holey.begin() + 1 + 0x501);
    holey.erase(holey.begin() + 1 + 0x100, holey.begin() + 1 + 0x102);
    r = Load(Join(holey));
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(r.endRecord);
    EXPECT_EQ(r.missing, (Ranges{{0x1000, 0x101F}, {0x5010, 0x501F}}));

    // A single record: everything but its byte is missing.
    r = Load(Record(0, {7}) + "\r\n:00000001FF\r\n");
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.missing, (Ranges{{1, 0x7FFF}}));
    EXPECT_FALSE(GaveNoImageData(r));
}

// Completeness is judged to the byte: a file that gives every byte but lacks its end record,
// or lacks only the last byte or one byte in the middle, is not the whole image.
TEST_F(HexFileTest, EveryByteAndTheEndRecordMakeAWholeImage) {
    FirmwareImage pattern;
    FillPattern(pattern);
    const std::vector<std::string> lines = WholeHexLines(pattern);

    HexLoadResult r = Load(Join({lines.begin(), lines.end() - 1}));
    EXPECT_TRUE(r.missing.empty());
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(img.Complete);
    EXPECT_EQ(HexLoadProblems(r, 4), std::vector<std::string>{"no end-of-file record"});

    // The last record one byte short: only 0x7FFF is missing.
    std::vector<std::string> shortEnd = lines;
    std::vector<uint8_t> last;
    for (uint16_t a = 0x7FF0; a < 0x7FFF; ++a)
        last.push_back(pattern.ReadByte(a));
    shortEnd[shortEnd.size() - 2] = Record(0x7FF0, last) + "\n";
    r = Load(Join(shortEnd));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.missing, (Ranges{{0x7FFF, 0x7FFF}}));
    EXPECT_EQ(HexLoadProblems(r, 4), std::vector<std::string>{"no data for 0x7FFF"});

    // One-byte holes at the first address, in the middle, and between two records that
    // follow each other.
    std::vector<std::string> holey = lines;
    std::vector<uint8_t> first, middle;
    for (uint16_t a = 1; a < 0x10; ++a)
        first.push_back(pattern.ReadByte(a));
    for (uint16_t a = 0x1235; a < 0x1240; ++a)
        middle.push_back(pattern.ReadByte(a));
    holey[1] = Record(0x0001, first) + "\n";
    holey[1 + 0x123] = Record(0x1230, {pattern.ReadByte(0x1230), pattern.ReadByte(0x1231),
                                       pattern.ReadByte(0x1232), pattern.ReadByte(0x1233)}) +
                       "\n" + Record(0x1235, middle) + "\n";
    r = Load(Join(holey));
    EXPECT_TRUE(r.endRecord);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.missing, (Ranges{{0x0000, 0x0000}, {0x1234, 0x1234}}));
    EXPECT_EQ(img.ReadByte(0x1235), pattern.ReadByte(0x1235));
}

// The problems of a load name every kind of fault once, each list of ranges cut at the limit.
TEST_F(HexFileTest, ProblemsNameTheRangesUpToTheLimit) {
    // Records out of order beyond the image join into one range; the load stops at line 6.
    const HexLoadResult r =
        Load(Record(0x0001, {1}) + "\n" + Record(0x0003, {2, 3}) + "\n:020000040001F9\n" +
             Record(0x0010, std::vector<uint8_t>(16, 4)) + "\n" +
             Record(0x0000, std::vector<uint8_t>(16, 5)) + "\n:00000001FE\n");
    EXPECT_EQ(r.stop, HexStop::BadChecksum);
    EXPECT_EQ(r.line, 6);
    EXPECT_EQ(r.outside, (Ranges{{0x10000, 0x1001F}}));
    EXPECT_EQ(HexLoadProblems(r, 3),
              (std::vector<std::string>{
                  "the load ended early at line 6: bad record checksum; nothing after it was "
                  "loaded",
                  "no end-of-file record", "no data for 0x0000, 0x0002, 0x0005..0x7FFF",
                  "data outside the image, not loaded: 0x10000..0x1001F"}));
    EXPECT_EQ(HexLoadProblems(r, 1)[2], "no data for 0x0000 and 2 more");
    // A whole image has no problem, and its result names no line.
    FirmwareImage pattern;
    FillPattern(pattern);
    const HexLoadResult whole = Load(Join(WholeHexLines(pattern)));
    EXPECT_TRUE(HexLoadProblems(whole, 3).empty());
    EXPECT_EQ(whole.line, 0);
}

// A record may start at 0x8000 at most (its bytes then lie beyond the image and are reported);
// a larger offset ends the load. A damaged line after the end record still marks the file
// as damaged, though every byte came.
TEST_F(HexFileTest, OffsetLimitAndDamageAfterTheEndRecord) {
    EXPECT_EQ(Load(Record(0x8000, {1}) + "\n").stop, HexStop::None);
    EXPECT_EQ(Load(Record(0x8001, {1}) + "\n").stop, HexStop::AddressAbove8000);
    FirmwareImage pattern;
    FillPattern(pattern);
    const HexLoadResult r = Load(Join(WholeHexLines(pattern)) + "garbage\n");
    EXPECT_TRUE(r.missing.empty());
    EXPECT_EQ(r.stop, HexStop::NoRecordMark);
    EXPECT_FALSE(r.complete);
}

TEST_F(HexFileTest, BlankFirstLineLoadsNothing) {
    const HexLoadResult r = Load("\r\n" + Record(0, {9}) + "\r\n");
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.reason, "blank line");
    EXPECT_EQ(img.ReadByte(0), 0);
}

TEST_F(HexFileTest, BlankLinesAtTheEndLoseNothing) {
    const HexLoadResult r = Load(Record(0, {9}) + "\r\n:00000001FF\r\n\r\n  \n");
    EXPECT_EQ(r.stop, HexStop::None) << r.reason;
    EXPECT_EQ(img.ReadByte(0), 9);
}

// A file that stores no byte at all would otherwise pass for a complete all-zero image.
TEST_F(HexFileTest, FileWithoutDataRecordsIsNotComplete) {
    for (const std::string& text : {std::string(""), std::string("\r\n"),
                                    std::string(":0200000400C03A\r\n:00000001FF\r\n")}) {
        const HexLoadResult r = Load(text);
        EXPECT_FALSE(r.complete) << text;
        EXPECT_TRUE(GaveNoImageData(r)) << text;
        EXPECT_EQ(r.stop, HexStop::None) << text;
    }
    EXPECT_FALSE(Load("").endRecord);
    EXPECT_TRUE(Load(":0200000400C03A\r\n:00000001FF\r\n").endRecord);
}

TEST_F(HexFileTest, RecordAbove8000EndsTheLoad) {
    const HexLoadResult r =
        Load(Record(0x0100, {1}) + "\r\n" + Record(0x9000, {2}) + "\r\n" + Record(0x0200, {3}));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.line, 2);
    EXPECT_EQ(r.reason, "record address above 0x8000");
    EXPECT_EQ(img.ReadByte(0x0100), 1);
    EXPECT_EQ(img.ReadByte(0x0200), 0);
    EXPECT_FALSE(img.IsModified()); // LoadedCopy holds what was kept
}

TEST_F(HexFileTest, RecordAbove8000EndsTheLoadWhateverItsTypeAndChecksum) {
    const HexLoadResult r = Load(":00900001FF\r\n" + Record(0x0200, {3}));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(img.ReadByte(0x0200), 0);
}

TEST_F(HexFileTest, DataPastTheEndIsNotStoredAndIsReported) {
    const HexLoadResult r = Load(Record(0x7FFE, {1, 2, 3, 4}) + "\n" + Record(0x8000, {5}) + "\n" +
                                 Record(0x0000, {6}));
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.stop, HexStop::None);
    EXPECT_EQ(r.outside, (Ranges{{0x8000, 0x8001}}));
    EXPECT_EQ(img.ReadByte(0x7FFE), 1);
    EXPECT_EQ(img.ReadByte(0x7FFF), 2);
    EXPECT_EQ(img.ReadByte(0x0000), 6); // nothing wrapped round to the start
}

TEST_F(HexFileTest, LineLengthLimitIs254Characters) {
    // 124 data bytes: 1 + 2 * (124 + 5) = 259 characters, too long.
    const std::vector<uint8_t> bytes124(124, 0x11);
    HexLoadResult r = Load(Record(0, {1}) + "\n" + Record(0x10, bytes124) + "\n");
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.line, 2);
    EXPECT_EQ(r.reason, "line longer than 254 characters");
    EXPECT_EQ(img.ReadByte(0x10), 0);
    EXPECT_EQ(img.ReadByte(0), 1);
    // 121 data bytes make 253 characters; one blank more makes 254, accepted with CR LF.
    const std::vector<uint8_t> bytes121(121, 0x22);
    r = Load(Record(0x10, bytes121) + " \r\n" + Record(0, {1}));
    EXPECT_EQ(r.stop, HexStop::None) << r.reason;
    EXPECT_EQ(img.ReadByte(0x10 + 120), 0x22);
    // Two blanks more make 255.
    r = Load(Record(0x10, bytes121) + "  \r\n");
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(img.ReadByte(0x10), 0);
}

TEST_F(HexFileTest, InvalidLinesEndTheLoadAndAreReported) {
    struct Case {
        std::string line;
        const char* reason;
    };
    const Case cases[] = {
        {":0100000001FF", "bad record checksum"},
        // Records without data are checked as strictly: end, segment and upper address.
        {":00000001FE", "bad record checksum"},
        {":020000020800F5", "bad record checksum"},
        {":0200000400C03B", "bad record checksum"},
        {":0200000001FD", "record length does not match its bytes"},
        {":01000000", "record length does not match its bytes"},
        {":0100000G01FE", "not a hexadecimal digit"},
        {"; comment", "no record mark ':'"},
        {"", "blank line"},
    };
    for (const Case& c : cases) {
        const HexLoadResult r =
            Load(Record(0, {7}) + "\r\n" + c.line + "\r\n" + Record(1, {8}) + "\r\n");
        EXPECT_FALSE(r.complete) << c.line;
        EXPECT_EQ(r.line, 2) << c.line;
        EXPECT_EQ(r.reason, c.reason) << c.line;
        EXPECT_EQ(img.ReadByte(0), 7) << c.line;
        EXPECT_EQ(img.ReadByte(1), 0) << c.line;
    }
}

TEST_F(HexFileTest, LoneLastDigitIsAByteByItself) {
    // ":0000000" + "0" + checksum: bytes 00 00 00 00 and a lone "0" as fifth byte, which is
    // the right checksum of an empty record.
    EXPECT_EQ(Load(":000000000\r\n" + Record(3, {4})).stop, HexStop::None);
    EXPECT_EQ(img.ReadByte(3), 4);
}

TEST_F(HexFileTest, FileThatCannotBeOpenedLeavesTheImageAlone) {
    img.WriteByte(0x6000, 0xAB);
    EXPECT_THROW(
        {
            try {
                img.LoadHex(dir.File("missing.hex"));
            } catch (const std::runtime_error& e) {
                // The short text, then the file and the system's reason.
                EXPECT_EQ(e.what(), "Can't open file.\n" + dir.File("missing.hex") +
                                        ": No such file or directory");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_THROW(img.LoadHex(dir.Path()), std::runtime_error);
    EXPECT_THROW(img.LoadBin(dir.File("missing.bin")), std::runtime_error);
    EXPECT_THROW(img.LoadBin(dir.Path()), std::runtime_error);
    EXPECT_EQ(img.ReadByte(0x6000), 0xAB);
}

// A pipe, FIFO, device or folder is refused before it is opened: opening a FIFO without a
// writer would block for ever, and a pipe's bytes are no fixed image. The image stays.
TEST_F(HexFileTest, OnlyRegularFilesAreLoaded) {
    img.WriteByte(0x6000, 0xAB);
    auto refusal = [&](const std::string& path, bool hex) {
        try {
            if (hex)
                img.LoadHex(path);
            else
                img.LoadBin(path);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("loaded");
    };
    const std::string notRegular = ": not a regular file";

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(write(ends[1], std::string(100, 'x').data(), 100), 100);
    close(ends[1]);
    const std::string pipePath = "/proc/self/fd/" + std::to_string(ends[0]);
    EXPECT_EQ(refusal(pipePath, false), "Can't open file.\n" + pipePath + notRegular);
    close(ends[0]);
    EXPECT_EQ(refusal("/dev/null", true), "Can't open file.\n/dev/null" + notRegular);
    EXPECT_EQ(refusal(dir.Path(), false), "Can't open file.\n" + dir.Path() + notRegular);

    const std::string fifo = dir.File("fifo.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const bool hex : {false, true}) {
        auto loading = std::async(std::launch::async, refusal, fifo, hex);
        if (loading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
            close(open(fifo.c_str(), O_WRONLY)); // lets the blocked open go on
            FAIL() << "opening a FIFO blocked";
        }
        EXPECT_EQ(loading.get(), "Can't open file.\n" + fifo + notRegular);
    }
    EXPECT_EQ(img.ReadByte(0x6000), 0xAB);
    EXPECT_FALSE(img.Loaded);
}

TEST_F(HexFileTest, LoadsStartFromAClearedImage) {
    img.WriteByte(0x7000, 5);
    std::strcpy(img.CarBody, "old");
    Load(Record(0, {1}));
    EXPECT_EQ(img.ReadByte(0x7000), 0);
    EXPECT_STREQ(img.CarBody, "");
}

TEST(BinFile, ShortAndLongFiles) {
    TempDir dir;
    FirmwareImage img;
    img.WriteByte(0x7000, 5);
    WriteTextFile(dir.File("short.bin"), std::string(100, '\x5A'));
    img.LoadBin(dir.File("short.bin"));
    EXPECT_EQ(img.ReadByte(99), 0x5A);
    EXPECT_EQ(img.ReadByte(100), 0);
    EXPECT_EQ(img.ReadByte(0x7000), 0);
    EXPECT_FALSE(img.IsModified());
    WriteTextFile(dir.File("long.bin"), std::string(0x8000, '\x01') + std::string(10, '\x02'));
    img.LoadBin(dir.File("long.bin"));
    EXPECT_EQ(img.ReadByte(0x7FFF), 1);
}

std::string SaveError(const std::function<void()>& save) {
    try {
        save();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicSave, FailedWriteLeavesTheOldFileAndNamesFileAndReason) {
    TempDir dir;
    FirmwareImage img;
    const std::string bin = dir.File("old.bin"), hex = dir.File("old.hex");
    WriteTextFile(bin, "previous binary");
    WriteTextFile(hex, "previous hex");
    FillPattern(img);
    std::string binMessage, hexMessage;
    {
        FileSizeLimit limit(1000);
        binMessage = SaveError([&] { img.SaveBin(bin); });
        hexMessage = SaveError([&] { img.SaveHex(hex); });
    }
    EXPECT_EQ(binMessage, "Can't write file.\n" + bin + ": File too large");
    EXPECT_EQ(hexMessage, "Can't write file.\n" + hex + ": File too large");
    EXPECT_TRUE(ReadTextFile(bin) == "previous binary");
    EXPECT_EQ(ReadTextFile(hex), "previous hex");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"old.bin", "old.hex"}));

    // Replaced together, the previous contents leave nothing behind either.
    img.SaveBinAndHex(bin, hex);
    EXPECT_EQ(ReadTextFile(hex), WriteHexText(img.Bytes()));
    EXPECT_EQ(std::filesystem::file_size(bin), FirmwareImage::Size);
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"old.bin", "old.hex"}));
}

// When the second file cannot be moved into place, the first gets its old contents back. A
// bind mount over the HEX file makes that move fail; it needs root and a mount namespace of
// this test's own, so nothing outside the test sees it.
TEST(AtomicSave, AFailedMoveOfTheSecondFileTakesBackTheFirst) {
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "needs root and a mount namespace of its own";
    TempDir dir;
    FirmwareImage img;
    FillPattern(img);
    const std::string bin = dir.File("pair.bin"), hex = dir.File("pair.hex");
    WriteTextFile(bin, "previous binary");
    WriteTextFile(hex, "previous hex");
    WriteTextFile(dir.File("other"), "mounted");
    ASSERT_EQ(mount(dir.File("other").c_str(), hex.c_str(), nullptr, MS_BIND, nullptr), 0);
    const std::string message = SaveError([&] { img.SaveBinAndHex(bin, hex); });
    umount2(hex.c_str(), MNT_DETACH);
    EXPECT_EQ(message.rfind("Can't write file.\n" + hex + ": ", 0), 0u) << message;
    EXPECT_TRUE(ReadTextFile(bin) == "previous binary");
    EXPECT_EQ(ReadTextFile(hex), "previous hex");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"other", "pair.bin", "pair.hex"}));
}

TEST(AtomicSave, FolderAsTargetFailsAndStaysAFolder) {
    TempDir dir;
    FirmwareImage img;
    std::filesystem::create_directory(dir.File("sub"));
    WriteTextFile(dir.File("sub/keep"), "x");
    EXPECT_THROW(img.SaveBin(dir.File("sub")), std::runtime_error);
    EXPECT_THROW(img.SaveHex(dir.File("sub")), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("sub")));
    EXPECT_EQ(ReadTextFile(dir.File("sub/keep")), "x");
    EXPECT_THROW(img.SaveBin(dir.File("nofolder/a.bin")), std::runtime_error);
    img.SaveHex(""); // an empty name writes nothing
}

TEST(AtomicSave, ReplacesTheFileKeepingItsPermissionsAndLinks) {
    TempDir dir;
    FirmwareImage img;
    FillPattern(img);
    const std::string bin = dir.File("a.bin");
    WriteTextFile(bin, "old");
    std::filesystem::permissions(bin, std::filesystem::perms(0640));
    std::filesystem::create_symlink(bin, dir.File("link.bin"));
    img.SaveBin(dir.File("link.bin"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bin")));
    EXPECT_EQ(std::filesystem::file_size(bin), FirmwareImage::Size);
    EXPECT_EQ(std::filesystem::status(bin).permissions(), std::filesystem::perms(0640));
}

TEST(AtomicSave, NewFileGetsTheUsualPermissions) {
    TempDir dir;
    FirmwareImage img;
    const mode_t oldMask = umask(027);
    img.SaveHex(dir.File("new.hex"));
    umask(oldMask);
    EXPECT_EQ(std::filesystem::status(dir.File("new.hex")).permissions(),
              std::filesystem::perms(0640));
}

TEST(AtomicSave, ReadOnlyFileIsNotReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    TempDir dir;
    FirmwareImage img;
    WriteTextFile(dir.File("locked.bin"), "keep");
    std::filesystem::permissions(dir.File("locked.bin"), std::filesystem::perms(0444));
    EXPECT_THROW(img.SaveBin(dir.File("locked.bin")), std::runtime_error);
    EXPECT_EQ(ReadTextFile(dir.File("locked.bin")), "keep");
}

// Only a regular file is replaced, whatever links lead to it; anything else stays as it is.
TEST(AtomicSave, OnlyRegularFilesAreReplaced) {
    TempDir dir;
    FirmwareImage img;
    const std::string fifo = dir.File("pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir.File("to-pipe.hex"));
    EXPECT_EQ(SaveError([&] { img.SaveBin(fifo); }),
              "Can't write file.\n" + fifo + ": not a regular file");
    EXPECT_THROW(img.SaveHex(dir.File("to-pipe.hex")), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    std::vector<std::string> expected = {"pipe.bin", "to-pipe.hex"};
    if (geteuid() == 0) {
        const std::string device = dir.File("device.bin");
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
        EXPECT_THROW(img.SaveBin(device), std::runtime_error);
        EXPECT_TRUE(std::filesystem::is_character_file(device));
        expected.insert(expected.begin(), "device.bin");
    }
    EXPECT_EQ(FilesIn(dir.Path()), expected);
}

TEST(AtomicSave, ADanglingLinkGetsItsTargetCreated) {
    TempDir dir;
    FirmwareImage img;
    FillPattern(img);
    std::filesystem::create_directory(dir.File("real"));
    std::filesystem::create_symlink("real/image.bin", dir.File("link.bin"));
    img.SaveBin(dir.File("link.bin"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bin")));
    EXPECT_EQ(std::filesystem::file_size(dir.File("real/image.bin")), FirmwareImage::Size);
    EXPECT_EQ(FilesIn(dir.File("real")), std::vector<std::string>{"image.bin"});
}

TEST(AtomicSave, TheLongestValidNameSaves) {
    TempDir dir;
    FirmwareImage img;
    const std::string name = dir.File(std::string(246, 'n') + ".bin");
    img.SaveBin(name);
    EXPECT_EQ(std::filesystem::file_size(name), FirmwareImage::Size);
    img.SaveBin(name); // and is replaced again
    EXPECT_EQ(FilesIn(dir.Path()).size(), 1u);
}

TEST(AtomicSave, RootKeepsTheOwnerAndGroupOfTheReplacedFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to someone else";
    TempDir dir;
    FirmwareImage img;
    const std::string hex = dir.File("owned.hex");
    WriteTextFile(hex, "old");
    ASSERT_EQ(chown(hex.c_str(), 4321, 8765), 0);
    ASSERT_EQ(chmod(hex.c_str(), 0604), 0);
    img.SaveHex(hex);
    struct stat st;
    ASSERT_EQ(stat(hex.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(ReadTextFile(hex), WriteHexText(img.Bytes()));
}

TEST(HexStream, ReadsFromMemory) {
    std::vector<uint8_t> data(FirmwareImage::Size, 0);
    std::istringstream in(Record(0x4000, {0xDE, 0xAD}) + "\n");
    EXPECT_EQ(ReadHexRecords(in, data.data()).stop, HexStop::None);
    EXPECT_EQ(data[0x4001], 0xAD);
    std::istringstream noLineFeeds(std::string(100000, ':'));
    const HexLoadResult r = ReadHexRecords(noLineFeeds, data.data());
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.line, 1);
}

} // namespace
