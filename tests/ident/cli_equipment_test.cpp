#include "cli_run.h"
#include "image/firmware_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

TEST(CliDecode, PrintsTheEquipmentBitsInItemOrder) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "velmaris-ident-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string file = pattern + "/equipment.bin";

    FirmwareImage image;
    const uint8_t bytes[] = {0x01, 0x00, 0x00, 0x00, 0x10, 0x80};
    for (int i = 0; i < 6; ++i)
        image.WriteByte(static_cast<uint16_t>(0x656A + i), bytes[i]);
    image.SaveBin(file);

    const CliRun run = RunCli({"decode", "--format", "bin", file});
    const std::string& json = run.out;
    std::filesystem::remove_all(pattern);
    EXPECT_EQ(run.status, 0) << run.err;

    std::string expected = "\n  \"equipment\":[";
    for (int k = 0; k < 48; ++k)
        expected += std::string(k ? "," : "") + (k == 0 || k == 36 || k == 47 ? "true" : "false");
    expected += "]\n";
    EXPECT_NE(json.find(expected), std::string::npos) << json.substr(json.rfind("\n  \""));
}

} // namespace
