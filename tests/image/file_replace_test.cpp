// The pair writer's promises that need a look at its system calls or at the file's identity:
// the new contents reach the disk before they replace anything, a failed flush replaces
// nothing, two names of one file are refused, and owner and group stay.
#include "image/file_replace.h"
#include "image/firmware_image.h"
#include "system_call_log.h"
#include "temp_dir.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string SaveError(const std::function<void()>& save) {
    try {
        save();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(PairWriter, BothFilesReachTheDiskBeforeEitherReplacesItsTarget) {
    TempDir dir;
    const std::string bin = dir.File("a.bin"), hex = dir.File("a.hex");
    WriteTextFile(bin, "old bin");
    WriteTextFile(hex, "old hex");
    FirmwareImage img;
    img.WriteByte(0x100, 0x42);
    SystemCallLog log;
    img.SaveBinAndHex(bin, hex);

    const std::vector<std::string>& calls = log.Calls();
    ASSERT_EQ(calls.size(), 4u) << ::testing::PrintToString(calls);
    std::vector<std::string> flushed, moved;
    for (const std::string& call : calls) {
        if (call.rfind("fsync ", 0) == 0)
            flushed.push_back(call.substr(6));
        else
            moved.push_back(call.substr(7, call.find(' ', 7) - 7));
    }
    // Both temporary files are flushed, then both are moved; nothing is moved unflushed.
    EXPECT_EQ(flushed, moved);
    EXPECT_EQ(calls[0].rfind("fsync ", 0), 0u);
    EXPECT_EQ(calls[1].rfind("fsync ", 0), 0u);
    EXPECT_EQ(calls[2], "rename " + moved[0] + " a.bin");
    EXPECT_EQ(calls[3], "rename " + moved[1] + " a.hex");
    FirmwareImage back;
    EXPECT_TRUE(back.LoadHex(hex).complete);
    EXPECT_EQ(back.ReadByte(0x100), 0x42);
}

TEST(PairWriter, AFailedFlushKeepsTheOldFiles) {
    TempDir dir;
    const std::string bin = dir.File("a.bin"), hex = dir.File("a.hex");
    WriteTextFile(bin, "old bin");
    WriteTextFile(hex, "old hex");
    FirmwareImage img;
    SystemCallLog log;
    log.FailFsyncWith(EIO);
    EXPECT_EQ(SaveError([&] { img.SaveBinAndHex(bin, hex); }),
              "Can't write file.\n" + bin + ": Input/output error");
    EXPECT_EQ(SaveError([&] { img.SaveHex(hex); }),
              "Can't write file.\n" + hex + ": Input/output error");
    for (const std::string& call : log.Calls())
        EXPECT_EQ(call.rfind("rename", 0), std::string::npos) << call;
    EXPECT_EQ(ReadTextFile(bin), "old bin");
    EXPECT_EQ(ReadTextFile(hex), "old hex");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"a.bin", "a.hex"}));
}

// The second file failing to move in puts the first one's previous contents back; a file
// system that cannot swap two names gets a plain rename instead.
TEST(PairWriter, AFailedMoveTakesBackTheFirstAndAMissingSwapFallsBackToRename) {
    TempDir dir;
    const std::string bin = dir.File("a.bin"), hex = dir.File("a.hex");
    WriteTextFile(bin, "old bin");
    WriteTextFile(hex, "old hex");
    FirmwareImage img;
    {
        SystemCallLog log;
        log.FailSwapOnto("a.hex", EIO);
        EXPECT_EQ(SaveError([&] { img.SaveBinAndHex(bin, hex); }),
                  "Can't write file.\n" + hex + ": Input/output error; " + bin + " as it was");
    }
    EXPECT_EQ(ReadTextFile(bin), "old bin");
    EXPECT_EQ(ReadTextFile(hex), "old hex");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"a.bin", "a.hex"}));
    // A first file that is new is taken away again.
    std::filesystem::remove(bin);
    {
        SystemCallLog log;
        log.FailSwapOnto("a.hex", EIO);
        EXPECT_NE(SaveError([&] { img.SaveBinAndHex(bin, hex); }), "(no error)");
    }
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"a.hex"});
    WriteTextFile(bin, "old bin");

    for (const int missing : {EINVAL, ENOSYS}) {
        SystemCallLog log;
        log.FailSwapOnto("a.hex", missing);
        EXPECT_EQ(SaveError([&] { img.SaveHex(hex); }), "(no error)");
        EXPECT_EQ(log.Calls().back().substr(0, 7), "rename ");
        EXPECT_EQ(log.Calls().size(), 3u); // fsync, the failed swap, the plain rename
        FirmwareImage back;
        EXPECT_TRUE(back.LoadHex(hex).complete);
        EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"a.bin", "a.hex"}));
        WriteTextFile(hex, "old hex");
    }
}

// Where the file system cannot swap two names, the previous first file is kept by a second
// name while the other is moved: a failed second move still puts it back, the message says
// what each file holds, and no file of the save is left behind.
TEST(PairWriter, WithoutSwapsAFailedSecondMoveStillBringsTheFirstBack) {
    TempDir dir;
    const std::string bin = dir.File("a.bin"), hex = dir.File("a.hex");
    WriteTextFile(bin, "old bin");
    WriteTextFile(hex, "old hex");
    FirmwareImage img;
    {
        SystemCallLog log;
        log.FailSwapOnto("*", EINVAL); // no swaps on this file system
        log.FailRenameOnto("a.hex", EIO);
        EXPECT_EQ(SaveError([&] { img.SaveBinAndHex(bin, hex); }),
                  "Can't write file.\n" + hex + ": Input/output error; " + bin + " as it was");
    }
    EXPECT_EQ(ReadTextFile(bin), "old bin");
    EXPECT_EQ(ReadTextFile(hex), "old hex");
    EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"a.bin", "a.hex"}));
}

// When the first file cannot be put back after the second move failed, its previous contents
// are kept under a visible name the message gives, which a later save into the folder leaves
// alone even though the file is old; with swaps and without.
TEST(PairWriter, PreviousContentsThatCannotBePutBackSurviveTheNextSave) {
    for (const bool swaps : {true, false}) {
        TempDir dir;
        const std::string bin = dir.File("a.bin"), hex = dir.File("a.hex");
        WriteTextFile(bin, "old bin");
        WriteTextFile(hex, "old hex");
        const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, bin.c_str(), old, 0), 0);
        FirmwareImage img;
        {
            SystemCallLog log;
            if (swaps) {
                log.FailSwapOnto("a.hex", EIO);
                log.FailSwapOnto("a.bin", EACCES, 1); // the move works, its undoing does not
            } else {
                log.FailSwapOnto("*", EINVAL);
                log.FailRenameOnto("a.hex", EIO);
                log.FailRenameOnto("a.bin", EACCES, 1);
            }
            EXPECT_EQ(SaveError([&] { img.SaveBinAndHex(bin, hex); }),
                      "Can't write file.\n" + hex + ": Input/output error; " + bin +
                          " holds the new image; its previous contents are in " +
                          dir.File("a.previous.bin"))
                << swaps;
        }
        EXPECT_EQ(ReadTextFile(dir.File("a.previous.bin")), "old bin");
        EXPECT_EQ(ReadTextFile(hex), "old hex");
        img.SaveBin(dir.File("b.bin"));
        EXPECT_EQ(FilesIn(dir.Path()),
                  (std::vector<std::string>{"a.bin", "a.hex", "a.previous.bin", "b.bin"}))
            << swaps;
        // A second failure does not write over the first kept file.
        WriteTextFile(bin, "newer bin");
        {
            SystemCallLog log;
            log.FailSwapOnto("a.hex", EIO);
            log.FailSwapOnto("a.bin", EACCES, 1);
            EXPECT_NE(SaveError([&] { img.SaveBinAndHex(bin, hex); }), "(no error)");
        }
        EXPECT_EQ(ReadTextFile(dir.File("a.previous.bin")), "old bin");
        EXPECT_EQ(ReadTextFile(dir.File("a.previous-2.bin")), "newer bin");
    }
}

// Temporary files of saves killed half-way are cleared by the next save into their folder, once
// old; a fresh one (another save going on) and files of other names stay.
TEST(PairWriter, TheNextSaveClearsOldTemporariesOfInterruptedSaves) {
    TempDir dir;
    for (const char* name : {".velmaris-abcd1234", ".velmaris-zz99yy88.previous",
                             ".velmaris-fresh123", ".velmaris-notours", "keep.txt"})
        WriteTextFile(dir.File(name), "x");
    const timespec old[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    for (const char* name :
         {".velmaris-abcd1234", ".velmaris-zz99yy88.previous", ".velmaris-notours", "keep.txt"})
        ASSERT_EQ(utimensat(AT_FDCWD, dir.File(name).c_str(), old, 0), 0);
    FirmwareImage img;
    EXPECT_EQ(SaveError([&] { img.SaveBin(dir.File("a.bin")); }), "(no error)");
    EXPECT_EQ(
        FilesIn(dir.Path()),
        (std::vector<std::string>{".velmaris-fresh123", ".velmaris-notours", "a.bin", "keep.txt"}));
}

// Saving the pair under two names of one file would leave one of the two contents there, or
// swap them; the save is refused before anything is replaced. Two different files are fine.
TEST(PairWriter, TwoNamesOfOneFileAreRefused) {
    TempDir dir;
    FirmwareImage img;
    const std::string same = "the same file as ";
    const std::string fresh = dir.File("new.bin");
    EXPECT_NE(SaveError([&] { img.SaveBinAndHex(fresh, fresh); }).find(same + fresh),
              std::string::npos);
    EXPECT_TRUE(FilesIn(dir.Path()).empty());

    const std::string a = dir.File("a.bin"), b = dir.File("b.hex"), c = dir.File("c.hex");
    WriteTextFile(a, "old a");
    ASSERT_EQ(link(a.c_str(), b.c_str()), 0);
    EXPECT_NE(SaveError([&] { img.SaveBinAndHex(a, b); }).find(same + a), std::string::npos);
    EXPECT_EQ(ReadTextFile(a), "old a");

    WriteTextFile(c, "old c");
    EXPECT_EQ(SaveError([&] { img.SaveBinAndHex(a, c); }), "(no error)");
    FirmwareImage back;
    EXPECT_TRUE(back.LoadHex(c).complete);
    EXPECT_EQ(std::filesystem::file_size(a), FirmwareImage::Size);
}

// Owner and group are each kept, also when only one of them differs from the saver's.
TEST(PairWriter, RootKeepsAnOwnerOrAGroupThatAloneDiffers) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may give a file to someone else";
    TempDir dir;
    FirmwareImage img;
    const std::string onlyGroup = dir.File("group.hex"), onlyOwner = dir.File("owner.bin");
    WriteTextFile(onlyGroup, "old");
    WriteTextFile(onlyOwner, "old");
    ASSERT_EQ(chown(onlyGroup.c_str(), geteuid(), 8765), 0);
    ASSERT_EQ(chown(onlyOwner.c_str(), 4321, getegid()), 0);
    img.SaveBinAndHex(onlyOwner, onlyGroup);
    struct stat st;
    ASSERT_EQ(stat(onlyGroup.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, 8765u);
    ASSERT_EQ(stat(onlyOwner.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
}

} // namespace
