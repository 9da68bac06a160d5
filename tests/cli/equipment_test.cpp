#include "cli_run.h"
#include "image/firmware_image.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CliDecode, PrintsTheEquipmentBitsInItemOrder) {
    TempDir dir;
    const std::string file = dir.File("equipment.bin");

    FirmwareImage image;
    const uint8_t bytes[] = {0x01, 0x00, 0x00, 0x00, 0x10, 0x80};
    for (int i = 0; i < 6; ++i)
        image.WriteByte(static_cast<uint16_t>(0x656A + i), bytes[i]);
    image.SaveBin(file);

    const CliRun run = RunCli({"decode", "--format", "bin", file});
    const std::string& json = run.out;
    EXPECT_EQ(run.status, 0) << run.err;

    std::string expected = "\n  \"equipment\":[";
    for (int k = 0; k < 48; ++k)
        expected += std::string(k ? "," : "") + (k == 0 || k == 36 || k == 47 ? "true" : "false");
    expected += "]\n";
    EXPECT_NE(json.find(expected), std::string::npos) << json.substr(json.rfind("\n  \""));
}

} // namespace
