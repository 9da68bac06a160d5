// Whole programming runs against the simulated unit's monitor, wired in-process.
#include "ecu_model.h"
#include "model_link.h"
#include "programmer/runs.h"
#include "programmer/unit_backup.h"
#include "temp_dir.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace prog;

namespace {

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(MemorySize, 0);
    for (std::size_t i = 0; i < image.size(); i += 3)
        image[i] = static_cast<uint8_t>(i >> 4);
    std::fill_n(image.begin() + 0x4000, 0x1000, 0); // 32 zero blocks, never sent
    return image;
}

struct FakeRun {
    EcuModel unit{EcuModel::Mode::Monitor};
    ModelLink link{unit};
    std::vector<uint8_t> back = std::vector<uint8_t>(MemorySize);
    int steps = 0;
    int stopAt = -1;

    FakeRun() {
        link.speed = 9600; // a woken monitor listens at 9600 bit/s
        std::fill(unit.memory().begin(), unit.memory().end(), 0x77);
    }
    ProgramReport Go(const std::vector<uint8_t>& image) {
        return program_image(link, image.data(), back.data(), [this] { return ++steps != stopAt; });
    }
};

} // namespace

TEST(ProgramRun, ProgramsVerifiesAndSkipsZeroBlocks) {
    const std::vector<uint8_t> image = Image();
    FakeRun run;
    const ProgramReport r = run.Go(image);
    EXPECT_EQ(r.outcome, ProgramOutcome::Ok);
    EXPECT_EQ(run.unit.memory(), image);
    EXPECT_EQ(run.back, image);
    EXPECT_EQ(run.steps, 512); // 256 programming steps and 256 verifying steps
    // Sent: protection and four erase calls (20 bytes each), then per programmed block a
    // 1 + 133-byte write and a 20-byte call, and the 6-byte read request.
    EXPECT_EQ(run.link.bytesSent, 5 * 20 + 224 * (134 + 20) + 6);
}

TEST(ProgramRun, AllZeroImageErasesAndVerifiesWithoutBlocks) {
    const std::vector<uint8_t> zeros(MemorySize, 0);
    FakeRun run;
    EXPECT_EQ(run.Go(zeros).outcome, ProgramOutcome::Ok);
    EXPECT_EQ(run.link.bytesSent, 5u * 20 + 6);
    EXPECT_EQ(run.unit.memory(), zeros);
}

TEST(ProgramRun, FailuresSayWhereTheUnitStands) {
    const std::vector<uint8_t> image = Image();
    {
        FakeRun run;
        run.unit.faults().failProtection = true;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::ProtectionFailed);
        EXPECT_EQ(r.state, UnitState::Untouched);
        EXPECT_TRUE(unit_intact(r.state));
        EXPECT_EQ(unit_state_text(r), "the unit is untouched (nothing was erased)");
        EXPECT_EQ(run.unit.memory()[0], 0x77); // nothing touched
    }
    {
        FakeRun run;
        run.unit.faults().failEraseSector = 3;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::EraseFailed);
        EXPECT_EQ(r.state, UnitState::Erased);
        EXPECT_EQ(r.erasedSectors, 3);
        EXPECT_FALSE(unit_intact(r.state));
        EXPECT_EQ(unit_state_text(r), "the unit is erased (3 of 4 sectors; erasing sector 3 "
                                      "failed) and nothing was written");
        EXPECT_EQ(run.steps, 0);
    }
    {
        FakeRun run; // the very first erase call fails: the unit may already be damaged
        run.unit.faults().failEraseSector = 0;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.state, UnitState::Erased);
        EXPECT_EQ(r.erasedSectors, 0);
        EXPECT_EQ(unit_state_text(r), "the unit may be partly erased (erasing sector 0 failed) "
                                      "and nothing was written");
    }
    {
        FakeRun run;
        run.unit.faults().failBlockOffset = 0x2080;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::BlockFailed);
        EXPECT_EQ(r.state, UnitState::PartlyProgrammed);
        EXPECT_EQ(r.writtenUpTo, 0x2080u);
        EXPECT_EQ(unit_state_text(r), "the unit is erased and partly programmed (up to 0x2080)");
        EXPECT_EQ(run.steps, 64 + 2);
        EXPECT_EQ(run.unit.memory()[0x2080 + 3], 0); // erased, not programmed
    }
    {
        FakeRun run;
        run.stopAt = 10; // the tenth block (0x480) is not begun
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::Stopped);
        EXPECT_EQ(r.state, UnitState::PartlyProgrammed);
        EXPECT_EQ(r.writtenUpTo, 0x480u);
    }
    {
        FakeRun run;
        run.unit.faults().badFlashOffset = 0x7F80;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::VerifyMismatch);
        EXPECT_EQ(r.differences, 1u);
        EXPECT_EQ(r.state, UnitState::Differs);
        EXPECT_EQ(r.differingOffsets, std::vector<uint32_t>{0x7F80});
        EXPECT_EQ(unit_state_text(r), "the unit is programmed with 1 differing bytes at 0x7F80");
    }
    {
        // Many differing bytes: the first twenty are named, the rest counted.
        FakeRun run;
        ProgramReport r = run.Go(image);
        ASSERT_EQ(r.state, UnitState::Programmed);
        EXPECT_EQ(unit_state_text(r), "the unit is programmed and verified");
        r.state = UnitState::Differs;
        for (uint32_t a = 0; a < 30; ++a)
            r.differingOffsets.push_back(0x100 + a);
        r.differences = 30;
        const std::string text = unit_state_text(r);
        EXPECT_NE(text.find("30 differing bytes at 0x0100, 0x0101"), std::string::npos) << text;
        EXPECT_NE(text.find("0x0113 and 10 more"), std::string::npos) << text;
        EXPECT_EQ(text.find("0x0114"), std::string::npos) << text;
    }
    {
        FakeRun run;
        run.unit.faults().shortReadBlock = 0;
        const ProgramReport r = run.Go(image);
        EXPECT_EQ(r.outcome, ProgramOutcome::VerifyShortBlock);
        EXPECT_EQ(r.state, UnitState::Unverified);
        EXPECT_FALSE(unit_intact(r.state));
    }
    {
        FakeRun run;
        run.unit.faults().silentAfterAck = CmdReadBlock;
        EXPECT_EQ(run.Go(image).outcome, ProgramOutcome::VerifyShortBlock);
    }
}

TEST(UnitBackup, NoBackupReplacesAnEarlierOne) {
    TempDir dir;
    const std::string folder = dir.File("backups"); // made on the way
    const std::vector<uint8_t> before(MemorySize, 0x11), after(MemorySize, 0x22);
    const std::time_t when = 1700000000; // both in the same second
    const std::string first = save_unit_backup(before.data(), folder, when);
    const std::string second = save_unit_backup(after.data(), folder, when);
    EXPECT_EQ(second, first + "-2");
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes(first + ".bin"), before);
    EXPECT_EQ(bytes(second + ".bin"), after);
    EXPECT_TRUE(std::filesystem::exists(first + ".hex") &&
                std::filesystem::exists(second + ".hex"));

    // A name that only its .hex holds is taken too, and the stray file stays as it was.
    WriteTextFile(first + "-3.hex", "stray");
    const std::string third = save_unit_backup(after.data(), folder, when);
    EXPECT_EQ(third, first + "-4");
    EXPECT_EQ(ReadTextFile(first + "-3.hex"), "stray");
    EXPECT_FALSE(std::filesystem::exists(first + "-3.bin"));
    // And one that only its .bin holds.
    WriteTextFile(first + "-5.bin", "stray");
    EXPECT_EQ(save_unit_backup(after.data(), folder, when), first + "-6");
    EXPECT_EQ(ReadTextFile(first + "-5.bin"), "stray");
}

// The name tells the time on the user's clock, not in UTC.
TEST(UnitBackup, NamedByLocalTime) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    ::setenv("TZ", "ZZZ-3", 1); // three hours east of UTC, no summer time
    ::tzset();
    TempDir dir;
    const std::vector<uint8_t> memory(MemorySize, 0x33);
    // 2023-11-14 22:13:20 UTC is already the next day three hours east.
    const std::string base = save_unit_backup(memory.data(), dir.Path(), 1700000000);
    if (saved)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    EXPECT_EQ(base, dir.File("backup-20231115-011320"));
}
