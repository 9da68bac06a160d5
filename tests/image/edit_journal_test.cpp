#include "image/edit_journal.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// CRC-32 (the polynomial of zip files), bit by bit.
uint32_t Crc32(const std::string& text) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char ch : text) {
        crc ^= ch;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A journal line with its check: the text, a blank, '*' and the CRC-32 of the text in hex.
std::string Checked(const std::string& text) {
    char crc[16];
    std::snprintf(crc, sizeof crc, " *%08x\n", static_cast<unsigned>(Crc32(text)));
    return text + crc;
}

const std::string Header = "VELMARIS-JOURNAL 2 1700000000123 =2f646174612f612e686578";

} // namespace

// The journal's text is a format: a journal a crash left behind is read by the next run, which
// may be a newer program. This one was written by Start, Push and Amend.
TEST(EditJournal, TheLineFormatStaysReadableAndIsWrittenAlike) {
    const std::string text = Checked(Header) +
                             Checked("P 1700000000456 =d0a8d0b0d0b3 0010AQMCBA==,7fff/wA=") +
                             Checked("M 1700000000789 =d0a8d0b0d0b3 0010AQU=");
    TempDir dir;
    EditJournal journal;
    journal.Start(dir.File("j"), "/data/a.hex", 1700000000123);
    journal.Push({"Шаг", 1700000000456, {{0x10, 1, 2}, {0x11, 3, 4}, {0x7FFF, 0xFF, 0}}});
    journal.Amend({"Шаг", 1700000000789, {{0x10, 1, 5}}});
    journal.Close();
    EXPECT_EQ(ReadAll(dir.File("j")), text);

    const JournalContents read = ReadJournal(dir.File("j"));
    EXPECT_EQ(read.imageFile, "/data/a.hex");
    EXPECT_EQ(read.fileTimeMs, 1700000000123);
    ASSERT_EQ(read.steps.size(), 1u);
    EXPECT_EQ(read.steps[0], (JournalStep{"Шаг", 1700000000789, {{0x10, 1, 5}}}));

    WriteAll(dir.File("j"), Checked(Header) + Checked("P 123456789012345678 = 0011AQI="));
    ASSERT_EQ(ReadJournal(dir.File("j")).steps.size(), 1u);
    EXPECT_EQ(ReadJournal(dir.File("j")).steps[0].timeMs, 123456789012345678);
    // Lines whose check is right but whose fields are not are damage all the same.
    for (const std::string& line :
         {std::string("P 5 x4142 0010AQI="), std::string("P 5 =414 0010AQI="),
          std::string("P 5 = 0010AQI=,"), std::string("P x5 = 0010AQI="),
          std::string("P 5 = 0011AQI=,0010AQI="), std::string("P 1234567890123456789 = 0010AQI="),
          std::string("X 5 = 0010AQI="), std::string("X"), std::string("P 5 =4g 0010AQI="),
          std::string("P 5 = 0010A!I=")}) {
        WriteAll(dir.File("j"), Checked(Header) + Checked(line) + Checked("P 6 = 0011AQI="));
        EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error) << line;
    }
    WriteAll(dir.File("j"), Checked("VELMARIS-JOURNAL 3 1 =") + Checked("P 6 = 0011AQI="));
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);
}

TEST(EditJournal, ReadsBackEveryStepAndMergeExactly) {
    TempDir dir;
    const JournalStep a{"УОЗ 2000/43: 14,0 → 14,5", 1000, {{0x1234, 0x10, 0x11}}};
    const JournalStep b{"", 2000, {{0x0000, 0xFF, 0x00}, {0x7FFF, 0x00, 0xFF}}};
    const JournalStep merged{"b+", 2500, {{0x0000, 0xFF, 0x01}, {0x7FFF, 0x00, 0xFF}}};
    {
        EditJournal journal;
        journal.Start(dir.File("j"), "/tmp/имя файла.hex", 42);
        journal.Push(a);
        journal.Push(b);
        journal.Amend(merged);
        // no Close: the file must already hold everything, as after a crash
        const JournalContents read = ReadJournal(dir.File("j"));
        EXPECT_EQ(read.imageFile, "/tmp/имя файла.hex");
        EXPECT_EQ(read.fileTimeMs, 42);
        ASSERT_EQ(read.steps.size(), 2u);
        EXPECT_EQ(read.steps[0], a);
        EXPECT_EQ(read.steps[1], merged);
        EXPECT_EQ(JournalChanges(read),
                  (ChangeSet{{0x0000, 0xFF, 0x01}, {0x1234, 0x10, 0x11}, {0x7FFF, 0x00, 0xFF}}));
        journal.Discard();
        EXPECT_FALSE(journal.IsOpen());
    }
    EXPECT_FALSE(std::ifstream(dir.File("j")).good());
}

// A unit read changes nearly every byte: its line stays small enough to write on every undo,
// and runs broken by unchanged bytes, at both ends of the image, read back exactly.
TEST(EditJournal, AWholeImageChangeIsCompactAndReadsBackExactly) {
    TempDir dir;
    JournalStep read{"Чтение ЭБУ", 9, {}};
    for (uint32_t a = 0; a < 0x8000; ++a)
        if (a % 1000 != 999)
            read.changes.push_back({static_cast<uint16_t>(a), static_cast<uint8_t>(a * 7 + 3),
                                    static_cast<uint8_t>(a * 7 + 4)});
    EditJournal journal;
    journal.Start(dir.File("j"), "f.bin", 1);
    journal.Push(read);
    journal.Push({"x", 10, {{0x7FFF, 0, 1}}});
    journal.Close();
    EXPECT_LT(ReadAll(dir.File("j")).size(), read.changes.size() * 3);
    const JournalContents back = ReadJournal(dir.File("j"));
    ASSERT_EQ(back.steps.size(), 2u);
    EXPECT_EQ(back.steps[0], read);
    EXPECT_EQ(back.steps[1].changes, (ChangeSet{{0x7FFF, 0, 1}}));
}

TEST(EditJournal, DamageIsRecognisedButATornLastLineIsLeftOut) {
    TempDir dir;
    EditJournal journal;
    journal.Start(dir.File("j"), "f.bin", 1);
    journal.Push({"x", 5, {{0x10, 1, 2}}});
    journal.Push({"y", 6, {{0x11, 1, 2}}});
    journal.Close();
    const std::string good = ReadAll(dir.File("j"));

    WriteAll(dir.File("j"), good + "P 7 =");
    EXPECT_EQ(ReadJournal(dir.File("j")).steps.size(), 2u);

    std::string flipped = good;
    flipped[flipped.find("0010AQI=") + 4] = 'B';
    WriteAll(dir.File("j"), flipped);
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);

    WriteAll(dir.File("j"), "garbage\n");
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);
    WriteAll(dir.File("j"), "");
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);
}
