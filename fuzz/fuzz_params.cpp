// Parameter records with arbitrary addresses, types, counts and decimal counts (the database
// delivers any int for each), and arbitrary typed numbers:
// nothing may be read or written outside the image or the 256-point arrays, and the number
// texts must round-trip through the parser.
#include "image/firmware_image.h"
#include "params/parameter_decode.h"
#include "params/parameter_format.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

template <typename T> T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FirmwareImage image;
    const FormulaEvaluator identity = [](const std::string&, double x) { return x; };

    ConstantRecord c;
    c.Mark = "C";
    c.Address = Take<int32_t>(data, size);
    c.Type = Take<int32_t>(data, size);
    c.Decimal = Take<int32_t>(data, size);
    const double value = Take<double>(data, size);
    if (!ConstantProblem(c)) {
        DecodeConstant(image, c, identity);
        try {
            EncodeConstant(image, c, value, identity);
        } catch (const std::exception&) {
        }
    }

    VectorRecord v;
    v.Mark = "V";
    v.AddressPar = Take<int32_t>(data, size);
    v.TypePar = Take<int32_t>(data, size);
    v.AddressArg = Take<int32_t>(data, size);
    v.TypeArg = Take<int32_t>(data, size);
    v.Count = Take<int32_t>(data, size);
    v.DecimalArg = Take<int32_t>(data, size);
    const int point = Take<int16_t>(data, size);
    static VectorPoints points;
    LoadVector(image, v, identity, points);
    if (points.error.empty() && VectorProblem(v))
        __builtin_trap(); // a record with a problem must not be decoded
    try {
        CommitVectorPoint(image, v, point, value, identity);
    } catch (const std::exception&) {
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    for (char sep : {',', '.'}) {
        if (auto parsed = ParseDecimal(text, sep)) {
            const std::string shown = FormatGeneral(*parsed, sep);
            if (std::isfinite(*parsed)) {
                const auto again = ParseDecimal(shown, sep);
                if (!again)
                    __builtin_trap(); // every finite shown number reads back
            }
        }
    }
    FormatFixed(value, c.Decimal, ',');
    return 0;
}
