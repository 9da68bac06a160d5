#include "cli_run.h"
#include "image/firmware_image.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {

const std::string Demo = std::string("'") + VELMARIS_SOURCE_DIR + "/examples/demo.hex'";
const std::string DemoBin = std::string("'") + VELMARIS_SOURCE_DIR + "/examples/demo.bin'";

TEST(Cli, DecodePrintsTheImageAsJson) {
    const CliRun run = RunCliCommand("decode " + Demo);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("{\n  \"TauBase\":", 0), 0u);
    EXPECT_NE(run.out.find("\"Nuz\":[600,"), std::string::npos);
    EXPECT_NE(run.out.find("\"EcuType\":\"Контроллер ВМ-32\""), std::string::npos);
    // The binary file and an explicit format give the same; --o2 reads the second map set.
    EXPECT_EQ(RunCliCommand("decode " + DemoBin).out, run.out);
    EXPECT_EQ(RunCliCommand("decode --format bin " + DemoBin).out, run.out);
    const CliRun o2 = RunCliCommand("decode --o2 " + Demo);
    EXPECT_EQ(o2.status, 0);
    EXPECT_NE(o2.out, run.out);
}

TEST(Cli, BadInputExitsWithStatus2) {
    TempDir dir;
    CliRun run = RunCliCommand("decode '" + dir.File("missing.hex") + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Can't open file."), std::string::npos);
    EXPECT_TRUE(run.out.empty());
    EXPECT_EQ(RunCliCommand("decode").status, 2);
    EXPECT_EQ(RunCliCommand("decode " + Demo + " " + Demo).status, 2);
    EXPECT_EQ(RunCliCommand("decode --bogus " + Demo).status, 2);
    EXPECT_EQ(RunCliCommand("decode --format srec " + Demo).status, 2);
    EXPECT_EQ(RunCliCommand("checksum").status, 2);
    EXPECT_EQ(RunCliCommand("convert " + Demo).status, 2);
    EXPECT_EQ(RunCliCommand("nosuchcommand").status, 2);
}

TEST(Cli, EarlyEndNamesLineAndReasonAndExits3) {
    TempDir dir;
    WriteTextFile(dir.File("cut.hex"), ":0100000007F8\r\n:0100010008F5\r\n:01000200\r\n");
    CliRun run = RunCliCommand("decode '" + dir.File("cut.hex") + "'");
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad record checksum"), std::string::npos) << run.err;
    run = RunCliCommand("decode --allow-partial '" + dir.File("cut.hex") + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("line 2"), std::string::npos);
    EXPECT_FALSE(run.out.empty());
    EXPECT_EQ(RunCliCommand("checksum '" + dir.File("cut.hex") + "'").status, 3);
    EXPECT_EQ(
        RunCliCommand("convert '" + dir.File("cut.hex") + "' '" + dir.File("o.bin") + "'").status,
        3);
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.bin")));
}

// Every way a HEX file can fall short of the whole image is named with its addresses, and no
// command goes on with the image unless told to.
TEST(Cli, IncompleteHexFilesNameWhatIsMissing) {
    TempDir dir;
    std::vector<std::string> lines;
    {
        std::istringstream demo(ReadTextFile(VELMARIS_SOURCE_DIR "/examples/demo.hex"));
        for (std::string line; std::getline(demo, line);)
            lines.push_back(line + "\n");
    }
    ASSERT_EQ(lines.size(), 2050u);
    auto write = [&](const char* name, const std::vector<std::string>& part) {
        std::string text;
        for (const std::string& line : part)
            text += line;
        WriteTextFile(dir.File(name), text);
        return "'" + dir.File(name) + "'";
    };
    // The first 1000 lines: no end record, and the bytes from 0x3E70 on never came.
    const std::string cut = write("cut.hex", {lines.begin(), lines.begin() + 1000});
    CliRun run = RunCliCommand("checksum " + cut);
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(run.out.empty()) << run.out;
    EXPECT_NE(run.err.find("no end-of-file record"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no data for 0x3E70..0x7FFF\n"), std::string::npos) << run.err;
    run = RunCliCommand("decode --allow-partial " + cut);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("no data for 0x3E70..0x7FFF"), std::string::npos) << run.err;
    // The cut took the checksum word with it: values that agree as zeros prove nothing.
    run = RunCliCommand("checksum --allow-partial " + cut);
    EXPECT_EQ(run.out, "stored   0x0000\ncomputed 0x0000\n");
    EXPECT_EQ(run.status, 3);

    // Every other record left out: more ranges than a line should hold are only counted.
    std::vector<std::string> holey = {lines.front()};
    for (std::size_t i = 1; i + 1 < lines.size(); i += 2)
        holey.push_back(lines[i]);
    holey.push_back(lines.back());
    run = RunCliCommand("convert " + write("holey.hex", holey) + " '" + dir.File("o.bin") + "'");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("no data for 0x0010..0x001F, 0x0030..0x003F, "), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(" and 1016 more\n"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.bin")));

    // A second upper word after the whole image: its data is outside, not folded onto it.
    std::vector<std::string> second = lines;
    second.insert(second.end() - 1, {":020000040001F9\n", ":0100000011EE\n"});
    run = RunCliCommand("decode " + write("second.hex", second));
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("data outside the image, not loaded: 0x10000\n"), std::string::npos)
        << run.err;
}

TEST(Cli, ChecksumAndConvert) {
    TempDir dir;
    CliRun run = RunCliCommand("checksum " + Demo);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("stored   0x"), std::string::npos);
    // A changed calibration byte: the stored checksum no longer agrees.
    FirmwareImage img;
    img.LoadHex(VELMARIS_SOURCE_DIR "/examples/demo.hex");
    img.WriteByte(0x7000, static_cast<uint8_t>(img.ReadByte(0x7000) + 1));
    img.SaveBin(dir.File("changed.bin"));
    EXPECT_EQ(RunCliCommand("checksum '" + dir.File("changed.bin") + "'").status, 1);
    // Converting with --fix-checksum repairs it, without --fix-checksum it stays wrong.
    EXPECT_EQ(
        RunCliCommand("convert '" + dir.File("changed.bin") + "' '" + dir.File("same.HEX") + "'")
            .status,
        0);
    EXPECT_EQ(RunCliCommand("checksum '" + dir.File("same.HEX") + "'").status, 1);
    EXPECT_EQ(RunCliCommand("convert --fix-checksum '" + dir.File("changed.bin") + "' '" +
                            dir.File("fixed.hex") + "'")
                  .status,
              0);
    EXPECT_EQ(RunCliCommand("checksum '" + dir.File("fixed.hex") + "'").status, 0);
    // HEX to binary gives the demo's binary file byte for byte.
    EXPECT_EQ(RunCliCommand("convert " + Demo + " '" + dir.File("demo.bin") + "'").status, 0);
    EXPECT_EQ(ReadTextFile(dir.File("demo.bin")),
              ReadTextFile(VELMARIS_SOURCE_DIR "/examples/demo.bin"));
    // An output that cannot be written is bad input.
    EXPECT_EQ(RunCliCommand("convert " + Demo + " '" + dir.File("no/such/folder.bin") + "'").status,
              2);
}

// A save never replaces what is not a regular file, and says which file and why.
TEST(Cli, ConvertNamesTheFileAndTheReasonOfAFailedSave) {
    TempDir dir;
    const std::string fifo = dir.File("pipe.hex");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CliRun run = RunCliCommand("convert " + Demo + " '" + fifo + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "velmaris-cli convert: Can't write file.\nvelmaris-cli convert: " + fifo +
                           ": not a regular file\n");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    // Standard output, a pipe here, is not a file either.
    run = RunCliCommand("convert " + Demo + " /proc/self/fd/1");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
}

// A binary file of the wrong size is not an image: converted silently, its missing bytes would
// become zeros in a complete-looking HEX file that can then be programmed into the unit.
TEST(Cli, BinaryFileOfWrongSizeIsIncomplete) {
    TempDir dir;
    const std::string demo = ReadTextFile(VELMARIS_SOURCE_DIR "/examples/demo.bin");
    WriteTextFile(dir.File("short.bin"), demo.substr(0, 100));
    WriteTextFile(dir.File("long.bin"), demo + "x");
    for (const char* name : {"short.bin", "long.bin"}) {
        const std::string in = "'" + dir.File(name) + "'";
        CliRun run = RunCliCommand("convert " + in + " '" + dir.File("o.hex") + "'");
        EXPECT_EQ(run.status, 3) << name;
        EXPECT_NE(run.err.find("32768"), std::string::npos) << run.err;
        // A long file loses its tail; only a short one is padded with zeros.
        const bool isShort = std::string(name) == "short.bin";
        EXPECT_EQ(run.err.find("zeros") != std::string::npos, isShort) << run.err;
        EXPECT_EQ(run.err.find("left out") != std::string::npos, !isShort) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.File("o.hex")));
        EXPECT_EQ(RunCliCommand("checksum " + in).status, 3);
        EXPECT_EQ(RunCliCommand("decode --allow-partial " + in).status, 0);
    }
}

} // namespace
