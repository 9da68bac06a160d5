// Feeds arbitrary bytes to the HEX reader behind LoadHex: it must never write outside the
// 32 KB buffer, crash or hang, and an early end must name a line inside the input.

#include "image/firmware_image.h"
#include "image/hex_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<uint8_t> buffer(FirmwareImage::Size, 0);
    const HexLoadResult result = ReadHexRecords(in, buffer.data());
    if (result.complete != result.reason.empty())
        std::abort();
    if (!result.complete && (result.line < 1 || static_cast<size_t>(result.line) > size + 1))
        std::abort();
    return 0;
}
