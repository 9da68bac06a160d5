#include "programmer/unit_backup.h"

#include "image/firmware_image.h"
#include "programmer/protocol.h"

#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace prog {

namespace {

namespace fs = std::filesystem;

// The unit's memory is taken into an image whole, byte for byte.
static_assert(MemorySize == FirmwareImage::Size);

bool Taken(const std::string& base) {
    std::error_code ec;
    return fs::exists(base + ".bin", ec) || fs::exists(base + ".hex", ec);
}

} // namespace

std::string save_unit_backup(const uint8_t* memory, const std::string& folder, std::time_t when) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw std::runtime_error("Can't create folder " + folder + ": " + ec.message());

    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "backup-%Y%m%d-%H%M%S", &local);
    const std::string first = (fs::path(folder) / stamp).string();
    std::string base = first;
    for (int n = 2; Taken(base); ++n)
        base = first + "-" + std::to_string(n);

    FirmwareImage::FromBytes(memory)->SaveBinAndHex(base + ".bin", base + ".hex");
    return base;
}

} // namespace prog
