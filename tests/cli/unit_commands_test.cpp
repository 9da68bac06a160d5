// velmaris-cli read and program against the simulated unit.
#include "cli_run.h"
#include "image/firmware_image.h"
#include "sim_fixture.h"
#include "sim_process.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string ToHex(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

class CliTest : public ::testing::Test {
protected:
    // Runs velmaris-cli; returns its exit status, stderr in err.
    int Cli(const std::string& args) {
        const CliRun run = RunCliCommand(args);
        err = run.err;
        return run.status;
    }
    std::string Path(const char* name) { return files.filePath(name).toStdString(); }
    std::unique_ptr<SimProcess> Sim(const std::vector<uint8_t>& memory,
                                    std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--awake", "--memory", WriteFile(Path("m.bin"), memory),
                                       "--dump", Path("dump.bin")});
        return std::make_unique<SimProcess>(options);
    }

    QTemporaryDir files;
    std::string err;
};

TEST_F(CliTest, ReadIntoBinaryAndHex) {
    const std::vector<uint8_t> memory = PatternMemory(21);
    auto sim = Sim(memory);
    ASSERT_EQ(Cli("read --port " + sim->link + " " + Path("out.bin")), 0) << err;
    EXPECT_EQ(ReadFile(Path("out.bin")), memory);
    EXPECT_NE(err.find("reading: 100%"), std::string::npos);
    ASSERT_EQ(Cli("read --port " + sim->link + " --speed 9600 " + Path("out.hex")), 0) << err;
    FirmwareImage image;
    ASSERT_TRUE(image.LoadHex(Path("out.hex")).complete);
    EXPECT_EQ(0, std::memcmp(image.Bytes(), memory.data(), memory.size()));
}

// Into a file the progress is one plain line per tenth, never a line rewritten in place.
TEST_F(CliTest, ProgressIntoAFileIsPlainLines) {
    auto sim = Sim(PatternMemory(24));
    ASSERT_EQ(Cli("read --port " + sim->link + " " + Path("out.bin")), 0) << err;
    EXPECT_EQ(err.find('\r'), std::string::npos) << err;
    for (const char* line : {"reading: 0%\n", "reading: 50%\n", "reading: 100%\n"})
        EXPECT_NE(err.find(line), std::string::npos) << line << err;
}

// Every failure says what the unit holds and exits 1 when it is untouched, 4 when its
// contents are damaged or unknown; the same command then programs the unit that was left.
TEST_F(CliTest, ProgramSaysWhatAFailureLeftInTheUnitAndRecovers) {
    std::vector<uint8_t> wanted = PatternMemory(22);
    std::fill_n(wanted.begin() + 0x3000, 0x800, 0);
    FirmwareImage image;
    image.ReplaceData(wanted.data());
    image.UpdateChecksum(); // an image whose checksum disagrees is refused
    std::memcpy(wanted.data(), image.Bytes(), wanted.size());
    image.SaveHex(Path("in.hex"));
    const std::string in = " " + Path("in.hex");
    {
        auto sim = Sim(PatternMemory(23));
        ASSERT_EQ(Cli("program --port " + sim->link + in), 0) << err;
        sim->Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), wanted);
    }
    {
        auto sim = Sim(PatternMemory(23), {"--fault", "fail-protection"});
        EXPECT_EQ(Cli("program --port " + sim->link + in), 1);
        EXPECT_NE(err.find("the unit is untouched (nothing was erased)"), std::string::npos) << err;
    }
    {
        auto sim = Sim(PatternMemory(23), {"--fault", "bad-flash=7000"});
        EXPECT_EQ(Cli("program --port " + sim->link + in), 4);
        EXPECT_NE(err.find("the unit is programmed with 1 differing bytes at 0x7000\n"),
                  std::string::npos)
            << err;
        // The byte by its address, both values and the table cell that holds it.
        EXPECT_NE(err.find("  0x7000: 0x" + ToHex(wanted[0x7000]) + " in the image, 0x" +
                           ToHex(static_cast<uint8_t>(~wanted[0x7000])) +
                           " in the unit (map CoefCorTau "),
                  std::string::npos)
            << err;
    }
    struct Damage {
        std::vector<std::string> fault;
        const char* state;
    } damages[] = {
        {{"--fault", "fail-erase=0"},
         "the unit may be partly erased (erasing sector 0 failed) and nothing was written"},
        // The line goes dead a few blocks into programming, as when the unit loses power.
        {{"--fault", "disconnect-after=1000"}, "the unit is erased and partly programmed (up to "},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.fault[1]);
        auto sim = Sim(PatternMemory(23), d.fault);
        EXPECT_EQ(Cli("program --port " + sim->link + " --backup " + Path("before.bin") + in), 4);
        EXPECT_NE(err.find(d.state), std::string::npos) << err;
        EXPECT_NE(
            err.find("run the same command again; what it held before is in " + Path("before.bin")),
            std::string::npos)
            << err;
        EXPECT_EQ(err.find("GetLastError"), std::string::npos) << err;
        sim->Stop();
        // The unit as the failure left it, on a line that works again.
        const std::vector<uint8_t> left = ReadFile(Path("dump.bin"));
        EXPECT_NE(left, wanted);
        auto again = Sim(left);
        EXPECT_EQ(Cli("program --port " + again->link + in), 0) << err;
        again->Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), wanted);
    }
}

// A program run killed at any moment of the bring-up (the unit asleep, being woken, woken but
// not yet given its access code, synchronised) or of the run itself leaves a unit the next run
// links to and programs, without restarting the unit.
TEST_F(CliTest, ProgramKilledAtAnyMomentDoesNotLockTheNextRunOut) {
    std::vector<uint8_t> wanted = PatternMemory(25);
    FirmwareImage image;
    image.ReplaceData(wanted.data());
    image.UpdateChecksum();
    image.SaveBin(Path("in.bin"));
    std::memcpy(wanted.data(), image.Bytes(), wanted.size());
    // Asleep, at full speed: the bring-up takes under three seconds, the run a moment; the
    // later moments are where a slower bring-up leaves the unit woken or synchronised.
    for (const char* seconds : {"1.3", "2.0", "2.5", "2.78", "3.5", "4.3"}) {
        SCOPED_TRACE(seconds);
        SimProcess sim(
            {"--memory", WriteFile(Path("m.bin"), PatternMemory(26)), "--dump", Path("dump.bin")});
        const std::string program = "program --port " + sim.link + " " + Path("in.bin");
        const std::string killed = std::string("timeout -s KILL ") + seconds + " " +
                                   ShellQuote(VELMARIS_CLI) + " " + program + " >/dev/null 2>&1";
        EXPECT_NE(std::system(killed.c_str()), -1);
        EXPECT_EQ(Cli(program), 0) << err;
        sim.Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), wanted);
    }
}

// An image that is not whole, holds no program or carries a wrong checksum is never
// programmed: every reason is named, the unit is not even contacted.
TEST_F(CliTest, ProgramRefusesPartialBlankAndWronglySummedImages) {
    const std::vector<uint8_t> memory = PatternMemory(30);
    auto sim = Sim(memory);
    FirmwareImage image;
    image.ReplaceData(PatternMemory(31).data());
    image.SaveHex(Path("summed-wrong.hex"));
    image.UpdateChecksum();
    image.SaveHex(Path("whole.hex"));
    // Cut after 1000 lines, at a line boundary.
    const std::vector<uint8_t> text = ReadFile(Path("whole.hex"));
    auto cut = text.begin();
    for (int line = 0; line < 1000; ++line)
        cut = std::find(cut, text.end(), '\n') + 1;
    WriteFile(Path("cut.hex"), {text.begin(), cut});
    WriteFile(Path("blank.bin"), std::vector<uint8_t>(FirmwareImage::Size, 0));

    const std::string program = "program --port " + sim->link + " ";
    EXPECT_EQ(Cli(program + Path("cut.hex")), 2);
    EXPECT_NE(err.find("the image is incomplete\n"), std::string::npos) << err;
    EXPECT_NE(err.find("no data for 0x3E70..0x7FFF"), std::string::npos) << err;
    EXPECT_EQ(Cli(program + "--fix-checksum " + Path("blank.bin")), 2);
    EXPECT_NE(err.find("the image is blank"), std::string::npos) << err;
    EXPECT_EQ(Cli(program + Path("summed-wrong.hex")), 2);
    EXPECT_NE(err.find("checksum disagrees"), std::string::npos) << err;
    EXPECT_NE(err.find("--fix-checksum"), std::string::npos) << err;
    EXPECT_EQ(err.find("connecting"), std::string::npos) << err;
    sim->Stop();
    EXPECT_EQ(ReadFile(Path("dump.bin")), memory);
}

// --fix-checksum stores the computed checksum and programs; --backup saves what the unit held
// before erasing, and a backup that cannot be read or saved stops the run.
TEST_F(CliTest, ProgramFixesTheChecksumAndBacksTheUnitUp) {
    FirmwareImage image;
    image.ReplaceData(PatternMemory(32).data());
    image.SaveBin(Path("in.bin"));
    image.UpdateChecksum();
    const std::vector<uint8_t> fixed(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    const std::vector<uint8_t> before = PatternMemory(33);
    {
        auto sim = Sim(before);
        ASSERT_EQ(Cli("program --port " + sim->link + " --fix-checksum --backup " +
                      Path("backup.hex") + " " + Path("in.bin")),
                  0)
            << err;
        sim->Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), fixed);
        FirmwareImage backup;
        ASSERT_TRUE(backup.LoadHex(Path("backup.hex")).complete);
        EXPECT_EQ(std::vector<uint8_t>(backup.Bytes(), backup.Bytes() + FirmwareImage::Size),
                  before);
    }
    WriteFile(Path("fixed.bin"), fixed);
    {
        auto sim = Sim(before, {"--fault", "short-read=100"});
        EXPECT_EQ(Cli("program --port " + sim->link + " --backup " + Path("lost.bin") + " " +
                      Path("fixed.bin")),
                  1);
        EXPECT_NE(err.find("the unit is untouched"), std::string::npos) << err;
        sim->Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), before);
        EXPECT_FALSE(std::filesystem::exists(Path("lost.bin")));
    }
    {
        auto sim = Sim(before);
        // A backup that could never be saved is refused before the unit is even woken.
        EXPECT_EQ(Cli("program --port " + sim->link + " --backup " + Path("no/folder/b.bin") + " " +
                      Path("fixed.bin")),
                  2);
        EXPECT_NE(err.find("the unit is untouched"), std::string::npos) << err;
        sim->Stop();
        EXPECT_EQ(ReadFile(Path("dump.bin")), before);
    }
}

TEST_F(CliTest, RefusesBadInputAndKeepsNothingOfAFailedRead) {
    WriteFile(Path("short.bin"), std::vector<uint8_t>(100, 1));
    EXPECT_EQ(Cli("program --port /dev/null " + Path("short.bin")), 2);
    EXPECT_NE(err.find("exactly 32768 bytes"), std::string::npos) << err;
    EXPECT_EQ(Cli("read " + Path("x.bin")), 2);
    EXPECT_EQ(Cli("read --port x --speed 38400 " + Path("x.bin")), 2);

    auto sim = Sim(PatternMemory(24), {"--fault", "short-read=200"});
    EXPECT_EQ(Cli("read --port " + sim->link + " " + Path("lost.bin")), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("lost.bin")));

    EXPECT_EQ(Cli("read --port " + Path("no-port") + " " + Path("x.bin")), 1);
    EXPECT_NE(err.find("Не удается найти указанный порт."), std::string::npos) << err;

    // An output that cannot be written is refused before the port is even opened.
    EXPECT_EQ(Cli("read --port " + Path("no-port") + " " + Path("none/x.bin")), 2);
    EXPECT_EQ(err, "velmaris-cli read: Can't write file.\nvelmaris-cli read: " +
                       Path("none/x.bin") + ": No such file or directory\n");
}

} // namespace
