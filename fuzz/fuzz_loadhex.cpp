// Feeds arbitrary bytes to the HEX reader behind LoadHex: it must never write outside the
// 32 KB buffer, crash or hang; an early end must name a line inside the input; the missing and
// outside ranges must be ordered, separate and where they claim to be, and the result may be
// called complete only when nothing at all is wrong with the file.

#include "image/firmware_image.h"
#include "image/hex_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// Rising, neither overlapping nor touching, each range in order.
void CheckRanges(const std::vector<AddressRange>& ranges) {
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        Check(ranges[i].first <= ranges[i].last);
        if (i > 0)
            Check(ranges[i].first > ranges[i - 1].last + 1);
    }
}

bool InImage(uint32_t address) {
    return address < FirmwareImage::Size ||
           (address >= 0xC00000 && address < 0xC00000 + FirmwareImage::Size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<uint8_t> buffer(FirmwareImage::Size, 0);
    const HexLoadResult result = ReadHexRecords(in, buffer.data());
    const bool stopped = result.stop != HexStop::None;
    Check(stopped != result.reason.empty());
    Check(stopped ? result.line >= 1 && static_cast<size_t>(result.line) <= size + 1
                  : result.line == 0);
    Check(result.complete ==
          (!stopped && result.endRecord && result.missing.empty() && result.outside.empty()));
    Check(result.complete == HexLoadProblems(result, 4).empty());

    CheckRanges(result.missing);
    static const std::vector<uint8_t> zeros(FirmwareImage::Size, 0);
    for (const AddressRange& r : result.missing) {
        Check(r.last < FirmwareImage::Size);
        // The buffer started as zeros: an address no record gave must still hold one.
        Check(std::memcmp(&buffer[r.first], zeros.data(), r.last - r.first + 1) == 0);
    }
    CheckRanges(result.outside);
    for (const AddressRange& r : result.outside)
        Check(!InImage(r.first) && !InImage(r.last));
    return 0;
}
