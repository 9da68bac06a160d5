#include "params/parameter_storage.h"

#include "image/firmware_image.h"
#include "params/parameter_records.h"

#include <cmath>
#include <stdexcept>

namespace {

constexpr int64_t ImageSize = static_cast<int64_t>(FirmwareImage::Size);

bool InImage(int64_t first, int64_t last) {
    return first >= 0 && last < ImageSize;
}

std::string Hex(int64_t value) {
    static const char digits[] = "0123456789ABCDEF";
    if (value < 0)
        return "-" + Hex(-value);
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value > 0);
    while (text.size() < 4)
        text.insert(text.begin(), '0');
    return "0x" + text;
}

// First and last byte a value or argument array of count points occupies.
struct Span {
    int64_t first;
    int64_t last;
};

Span ValueSpan(int32_t base, int typePar, int count) {
    const int64_t last = VectorValueAddress(base, typePar, count - 1) + (typePar == 3 ? 1 : 0);
    return {VectorValueAddress(base, typePar, 0), last};
}

Span ArgSpan(int32_t base, int typeArg, int count) {
    const int64_t last = VectorArgAddress(base, typeArg, count - 1) + (typeArg == 1 ? 1 : 0);
    return {VectorArgAddress(base, typeArg, 0), last};
}

} // namespace

double RoundToDecimals(double x, int d) {
    // d comes from the database unchecked; as a double its negation cannot overflow.
    const double places = d;
    const double p = std::pow(10.0, places);
    // Past what a double can scale to (hundreds of places) rounding cannot change the value.
    if (p == 0 || !std::isfinite(x * p))
        return x;
    const double y = x > 0 ? std::floor(x * p + 0.5) : std::ceil(x * p - 0.5);
    // Multiplying by 10^-d (not dividing by p) gives the same digits the stored values were
    // made with.
    return y * std::pow(10.0, -places);
}

int64_t EncodeRaw(double y) {
    const double shifted = y + 0.5;
    // Beyond 2^62 the low bits are meaningless and the conversion would overflow.
    if (!std::isfinite(shifted) || std::fabs(shifted) >= 4.6e18)
        throw std::range_error("Value out of range.");
    return static_cast<int64_t>(shifted); // truncates toward zero
}

bool ConstantTypeStores(int type) {
    return type >= 0 && type <= 3;
}

int64_t ConstantRawMax(int type) {
    switch (type) {
    case 0:
        return 15;
    case 1:
        return 7;
    case 2:
        return 255;
    case 3:
        return 65535;
    default:
        return -1;
    }
}

bool ConstantInRange(int32_t address, int type) {
    if (!ConstantTypeStores(type))
        return true; // nothing is read or written
    return InImage(address, static_cast<int64_t>(address) + (type == 3 ? 1 : 0));
}

uint32_t ReadConstantRaw(const FirmwareImage& image, int32_t address, int type) {
    if (!ConstantTypeStores(type) || !ConstantInRange(address, type))
        return 0;
    const auto addr = static_cast<uint16_t>(address);
    const uint8_t b = image.ReadByte(addr);
    switch (type) {
    case 0:
        return b >> 4;
    case 1:
        return b & 0x07;
    case 2:
        return b;
    default:
        return image.ReadWord(addr);
    }
}

void WriteConstantRaw(FirmwareImage& image, int32_t address, int type, int64_t n) {
    if (!ConstantTypeStores(type) || !ConstantInRange(address, type))
        return;
    const auto addr = static_cast<uint16_t>(address);
    // Two's complement: the low bits of n are taken as they are.
    const auto low = static_cast<uint64_t>(n);
    const uint8_t b = image.ReadByte(addr);
    switch (type) {
    case 0:
        image.WriteByte(addr, static_cast<uint8_t>((b & 0x0F) | ((low & 0x0F) << 4)));
        break;
    case 1:
        image.WriteByte(addr, static_cast<uint8_t>((b & ~0x07) | (low & 0x07)));
        break;
    case 2:
        image.WriteByte(addr, static_cast<uint8_t>(low & 0xFF));
        break;
    default:
        image.WriteWord(addr, static_cast<uint16_t>(low & 0xFFFF));
        break;
    }
}

bool VectorValueTypeStores(int typePar) {
    return typePar >= 0 && typePar <= 3;
}

int64_t VectorValueRawMax(int typePar) {
    if (!VectorValueTypeStores(typePar))
        return -1;
    return typePar == 3 ? 65535 : 255;
}

bool VectorArgTypeStores(int typeArg) {
    return typeArg == 0 || typeArg == 1;
}

int64_t VectorValueAddress(int32_t base, int typePar, int i) {
    switch (typePar) {
    case 0:
    case 3:
        return static_cast<int64_t>(base) + 2 * static_cast<int64_t>(i);
    case 1:
        return static_cast<int64_t>(base) + 2 * static_cast<int64_t>(i) + 1;
    default:
        return static_cast<int64_t>(base) + i;
    }
}

int64_t VectorArgAddress(int32_t base, int typeArg, int i) {
    return static_cast<int64_t>(base) + (typeArg == 1 ? 2 * static_cast<int64_t>(i) : i);
}

uint32_t ReadVectorValueRaw(const FirmwareImage& image, int32_t base, int typePar, int i) {
    if (!VectorValueTypeStores(typePar))
        return 0;
    const int64_t a = VectorValueAddress(base, typePar, i);
    const bool word = typePar == 3;
    if (!InImage(a, a + (word ? 1 : 0)))
        return 0;
    const auto addr = static_cast<uint16_t>(a);
    return word ? image.ReadWord(addr) : image.ReadByte(addr);
}

uint32_t ReadVectorArgRaw(const FirmwareImage& image, int32_t base, int typeArg, int i) {
    if (!VectorArgTypeStores(typeArg))
        return 0;
    const int64_t a = VectorArgAddress(base, typeArg, i);
    const bool word = typeArg == 1;
    if (!InImage(a, a + (word ? 1 : 0)))
        return 0;
    const auto addr = static_cast<uint16_t>(a);
    return word ? image.ReadWord(addr) : image.ReadByte(addr);
}

void WriteVectorValueRaw(FirmwareImage& image, int32_t base, int typePar, int i, int64_t n) {
    if (!VectorValueTypeStores(typePar))
        return;
    const int64_t a = VectorValueAddress(base, typePar, i);
    const bool word = typePar == 3;
    if (!InImage(a, a + (word ? 1 : 0)))
        return;
    const auto addr = static_cast<uint16_t>(a);
    const auto low = static_cast<uint64_t>(n);
    if (word)
        image.WriteWord(addr, static_cast<uint16_t>(low & 0xFFFF));
    else
        image.WriteByte(addr, static_cast<uint8_t>(low & 0xFF));
}

std::optional<std::string> ConstantProblem(const ConstantRecord& rec) {
    if (!rec.BadFields.empty())
        return rec.BadFields;
    if (ConstantInRange(rec.Address, rec.Type))
        return std::nullopt;
    return "адрес " + Hex(rec.Address) + " вне образа 0x0000..0x7FFF";
}

std::optional<std::string> VectorProblem(const VectorRecord& rec) {
    if (!rec.BadFields.empty())
        return rec.BadFields;
    if (rec.Count < 1 || rec.Count > MaxVectorPoints)
        return "число точек " + std::to_string(rec.Count) + " вне диапазона 1..256";
    if (VectorValueTypeStores(rec.TypePar)) {
        const Span s = ValueSpan(rec.AddressPar, rec.TypePar, rec.Count);
        if (!InImage(s.first, s.last))
            return "массив значений " + Hex(s.first) + ".." + Hex(s.last) +
                   " вне образа 0x0000..0x7FFF";
    }
    if (VectorArgTypeStores(rec.TypeArg)) {
        const Span s = ArgSpan(rec.AddressArg, rec.TypeArg, rec.Count);
        if (!InImage(s.first, s.last))
            return "массив аргументов " + Hex(s.first) + ".." + Hex(s.last) +
                   " вне образа 0x0000..0x7FFF";
    }
    return std::nullopt;
}

bool IsIndexRuleFormula(const std::string& formulaArg) {
    return formulaArg == "X*5/64";
}
