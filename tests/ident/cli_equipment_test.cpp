#include "image/firmware_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace {

// Runs velmaris-cli decode on a binary image and returns its standard output.
std::string Decode(const std::string& file, int& status) {
    const std::string command =
        std::string("'") + VELMARIS_CLI + "' decode --format bin '" + file + "' 2>/dev/null";
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

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

    int status = -1;
    const std::string json = Decode(file, status);
    std::filesystem::remove_all(pattern);
    EXPECT_EQ(status, 0);

    std::string expected = "\n  \"equipment\":[";
    for (int k = 0; k < 48; ++k)
        expected += std::string(k ? "," : "") + (k == 0 || k == 36 || k == 47 ? "true" : "false");
    expected += "]\n";
    EXPECT_NE(json.find(expected), std::string::npos) << json.substr(json.rfind("\n  \""));
}

} // namespace
