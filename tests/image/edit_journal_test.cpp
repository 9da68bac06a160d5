#include "image/edit_journal.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

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

} // namespace

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
    }
    EXPECT_FALSE(std::ifstream(dir.File("j")).good());
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
    flipped[flipped.find("00100102")] = '1';
    WriteAll(dir.File("j"), flipped);
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);

    WriteAll(dir.File("j"), "garbage\n");
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);
    WriteAll(dir.File("j"), "");
    EXPECT_THROW(ReadJournal(dir.File("j")), std::runtime_error);
}
