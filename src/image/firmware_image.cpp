#include "image/firmware_image.h"

#include "image/codepage.h"
#include "image/decode_formulas.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr uint16_t AddrChecksum = 0x5FF0;
constexpr uint16_t ChecksumFirst = 0x6000;
constexpr uint16_t ChecksumLast = 0x7FF0; // address of the last summed word

// Throttle segments: thresholds that count the segment, the raw throttle where each segment
// starts, and 256 divided by its width.
constexpr uint8_t DrThreshold[6] = {157, 134, 118, 102, 86, 70};
constexpr int DrBreak[7] = {63, 71, 87, 103, 119, 135, 158};
constexpr int DrSlope[7] = {32, 16, 16, 16, 16, 11, 8};

// White space as the C locale's isspace has it, spelled out: the windows set the user's locale,
// and under a single-byte locale isspace could also take letters of the upper half for blanks.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Trims C-locale white space at both ends of a zero-terminated text, in place.
void TrimInPlace(char* text) {
    size_t start = 0;
    while (text[start] != '\0' && IsBlank(text[start]))
        ++start;
    if (start > 0)
        std::memmove(text, text + start, std::strlen(text + start) + 1);
    size_t len = std::strlen(text);
    while (len > 0 && IsBlank(text[len - 1]))
        text[--len] = '\0';
}

std::unique_ptr<uint8_t[]> AllocateMemory() {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[FirmwareImage::Size]);
    if (!buffer)
        throw std::runtime_error("Could not allocate.");
    return buffer;
}

} // namespace

using namespace decode_formulas;

FirmwareImage::FirmwareImage()
    : RcodRows{5500, 4410, 3420, 2685, 2195, 1695, 1300, 1040, 815, 650}, RcodCols{44,  102, 158,
                                                                                   214, 272, 328,
                                                                                   385, 443, 500,
                                                                                   558, 610},
      AddrTauBase(0x161E), AddrMainMap(0x7050), AddrCorMap(0x6E20), AddrMainMapO2(0x7710),
      AddrCorMapO2(0x7DD0), AddrPmax(0x688A), AddrDrmax(0x68D8), AddrEquipment(0x656A),
      AddrNuz(0x661C), AddrP(0x65FC), AddrEcuType(0x6030), AddrEcuMaker(0x6050),
      AddrEcuSoftVersion(0x61FC), AddrProgController(0x61E5), AddrProgIdent(0x61F0),
      AddrProgVersion(0x61E0), AddrDataType(0x6070), AddrDataVersion(0x61ED), AddrDataFile(0x6040),
      AddrDataDate(0x6060), AddrDataEngine(0x6080), AddrCarEngine(0x6090), AddrCarBody(0x60A0),
      AddrCarDate(0x60D0), AddrRcod(0x6CCC), InjectorGain(2.576), InjectorOffset(0.54),
      StoichRatio(14.7), EcuType{}, EcuMaker{}, EcuSoftVersion{}, ProgController{}, ProgIdent{},
      ProgVersion{}, DataType{}, DataVersion{}, DataFile{}, DataDate{},
      DataEngine{}, CarEngine{}, CarBody{}, CarDate{}, Tau{}, Uoz{}, Lambda{}, CoefCorTau{},
      CoefCorUoz{}, CorTau{}, CorUoz{}, Rcod{}, PmaxRaw{}, Pmax{}, DrmaxRaw{}, Drmax{},
      TauBase(0), Nuz{}, PRaw{}, P{}, DrAxis{17, 28, 40, 50, 60, 75, 100}, PmaxCol{}, DrmaxSeg{},
      FullLoad{}, DrmaxCoefCorTau{}, DrmaxCoefCorUoz{}, UseO2Maps(false), Data(AllocateMemory()),
      LoadedCopy(AllocateMemory()) {
    // Zeros, not decoded: a new image shows flat zero tables until its first load or write.
    std::memset(Data.get(), 0, Size);
    std::memset(LoadedCopy.get(), 0, Size);
}

FirmwareImage::~FirmwareImage() = default;

std::unique_ptr<FirmwareImage> FirmwareImage::FromBytes(const uint8_t* bytes, bool useO2Maps) {
    auto image = std::make_unique<FirmwareImage>();
    image->UseO2Maps = useO2Maps;
    image->ResetData(bytes, bytes, false, false);
    return image;
}

FirmwareImage::WriteBatch::~WriteBatch() {
    if (--image_.batchDepth_ == 0 && image_.decodePending_)
        image_.Decode();
}

FirmwareImage::IdentField FirmwareImage::Ident(int index) {
    switch (index) {
    case 0:
        return {"EcuType", EcuType, AddrEcuType, 16};
    case 1:
        return {"EcuMaker", EcuMaker, AddrEcuMaker, 16};
    case 2:
        return {"EcuSoftVersion", EcuSoftVersion, AddrEcuSoftVersion, 12};
    case 3:
        return {"ProgController", ProgController, AddrProgController, 7};
    case 4:
        return {"ProgIdent", ProgIdent, AddrProgIdent, 12};
    case 5:
        return {"ProgVersion", ProgVersion, AddrProgVersion, 4};
    case 6:
        return {"DataType", DataType, AddrDataType, 16};
    case 7:
        return {"DataVersion", DataVersion, AddrDataVersion, 3};
    case 8:
        return {"DataFile", DataFile, AddrDataFile, 16};
    case 9:
        return {"DataDate", DataDate, AddrDataDate, 16};
    case 10:
        return {"DataEngine", DataEngine, AddrDataEngine, 16};
    case 11:
        return {"CarEngine", CarEngine, AddrCarEngine, 16};
    case 12:
        return {"CarBody", CarBody, AddrCarBody, 16};
    case 13:
        return {"CarDate", CarDate, AddrCarDate, 16};
    default:
        throw std::out_of_range("identification field index");
    }
}

const char* FirmwareImage::IdentName(int index) {
    static const char* const Names[IdentCount] = {
        "EcuType",     "EcuMaker",  "EcuSoftVersion", "ProgController", "ProgIdent",
        "ProgVersion", "DataType",  "DataVersion",    "DataFile",       "DataDate",
        "DataEngine",  "CarEngine", "CarBody",        "CarDate"};
    if (index < 0 || index >= IdentCount)
        throw std::out_of_range("identification field index");
    return Names[index];
}

const char* FirmwareImage::IdentText(int index) const {
    return const_cast<FirmwareImage*>(this)->Ident(index).text;
}

void FirmwareImage::Clear() {
    ResetData(nullptr, nullptr, false, false);
}

void FirmwareImage::ResetData(const uint8_t* bytes, const uint8_t* loadedCopy, bool loaded,
                              bool complete) {
    auto fill = [](uint8_t* to, const uint8_t* from) {
        if (from)
            std::memcpy(to, from, Size);
        else
            std::memset(to, 0, Size);
    };
    fill(Data.get(), bytes);
    fill(LoadedCopy.get(), loadedCopy);
    Loaded = loaded;
    Complete = complete;
    DataWritten();
    for (ImageListener* listener : listeners_)
        listener->DataReplaced();
}

void FirmwareImage::AdoptLoad(const FirmwareImage& loaded) {
    ResetData(loaded.Data.get(), loaded.LoadedCopy.get(), loaded.Loaded, loaded.Complete);
}

void FirmwareImage::WriteByte(uint16_t addr, uint8_t value) {
    const uint8_t before = Data[addr];
    if (before == value)
        return;
    Data[addr] = value;
    DataWritten();
    if (!listeners_.empty())
        Announce({{addr, before, value}});
}

void FirmwareImage::WriteWord(uint16_t addr, uint16_t value) {
    const uint8_t low = static_cast<uint8_t>(value & 0xFF);
    const uint8_t high = static_cast<uint8_t>(value >> 8);
    const uint8_t lowBefore = Data[addr];
    const uint8_t highBefore = Data[addr + 1];
    if (lowBefore == low && highBefore == high)
        return;
    Data[addr] = low;
    Data[addr + 1] = high;
    DataWritten();
    if (listeners_.empty())
        return;
    ChangeSet changes;
    if (lowBefore != low)
        changes.push_back({addr, lowBefore, low});
    if (highBefore != high)
        changes.push_back({static_cast<uint16_t>(addr + 1), highBefore, high});
    Announce(changes);
}

void FirmwareImage::ReplaceData(const uint8_t* bytes) {
    if (listeners_.empty()) {
        if (std::memcmp(Data.get(), bytes, Size) != 0) {
            std::memcpy(Data.get(), bytes, Size);
            DataWritten();
        }
        return;
    }
    ChangeSet changes;
    for (uint32_t a = 0; a < Size; ++a)
        if (Data[a] != bytes[a]) {
            changes.push_back({static_cast<uint16_t>(a), Data[a], bytes[a]});
            Data[a] = bytes[a];
        }
    if (changes.empty())
        return;
    DataWritten();
    Announce(changes);
}

void FirmwareImage::DataWritten() {
    if (batchDepth_ > 0)
        decodePending_ = true;
    else
        Decode();
}

void FirmwareImage::AddListener(ImageListener* listener) {
    listeners_.push_back(listener);
}

void FirmwareImage::RemoveListener(ImageListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void FirmwareImage::Announce(const ChangeSet& changes) {
    for (ImageListener* listener : listeners_)
        listener->DataChanged(changes);
}

void FirmwareImage::Decode() {
    decodePending_ = false;
    ++decodeCount_;
    TauBase = ReadWord(AddrTauBase);

    for (int i = 0; i < Rows; ++i) {
        PmaxRaw[i] = ReadWord(static_cast<uint16_t>(AddrPmax + 2 * i));
        Pmax[i] = RoundedAirFlow(PmaxRaw[i]);
    }
    for (int i = 0; i < Rows; ++i) {
        DrmaxRaw[i] = ReadByte(static_cast<uint16_t>(AddrDrmax + i));
        Drmax[i] = DrmaxValue(DrmaxRaw[i]);
    }
    for (int i = 0; i < Rows; ++i)
        Nuz[i] = static_cast<uint16_t>(ReadByte(static_cast<uint16_t>(AddrNuz + i)) * 25);
    for (int n = 0; n < LoadCols; ++n) {
        PRaw[n] = static_cast<uint16_t>(ReadByte(static_cast<uint16_t>(AddrP + n)) * 16);
        P[n] = RoundedAirFlow(PRaw[n]);
    }

    const uint16_t corBase = UseO2Maps ? AddrCorMapO2 : AddrCorMap;
    for (int k = 0; k < DrCols; ++k)
        for (int r = 0; r < Rows; ++r) {
            const uint16_t a = static_cast<uint16_t>(corBase + 78 * k + 2 * r);
            CoefCorTau[r][k] = Fraction256Value(ReadByte(a));
            CoefCorUoz[r][k] = HalfDegreeValue(ReadByte(static_cast<uint16_t>(a + 1)));
        }

    const uint16_t mainBase = UseO2Maps ? AddrMainMapO2 : AddrMainMap;
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < LoadCols; ++c) {
            const uint16_t a = static_cast<uint16_t>(mainBase + 44 * r + 2 * c);
            Tau[r][c] = TauValue(ReadByte(a), PRaw[c], TauBase);
            Uoz[r][c] = HalfDegreeValue(ReadByte(static_cast<uint16_t>(a + 1)));
            Lambda[r][c] = LambdaValue(P[c], Tau[r][c], InjectorOffset, InjectorGain, StoichRatio);
        }

    // Full-load column: the first load point above the maximum air flow. When none lies
    // above, the last column is used so that the interpolation stays inside the row.
    for (int i = 0; i < Rows; ++i) {
        PmaxCol[i] = LoadCols - 1;
        for (int c = 0; c < LoadCols; ++c)
            if (PmaxRaw[i] < PRaw[c]) {
                PmaxCol[i] = static_cast<uint8_t>(c);
                break;
            }
    }

    for (int r = 0; r < RcodRowCount; ++r)
        for (int c = 0; c < RcodColCount; ++c)
            Rcod[r][c] = Fraction256Value(ReadByte(static_cast<uint16_t>(AddrRcod + 11 * r + c)));

    for (int i = 0; i < Rows; ++i) {
        int count = 0;
        for (uint8_t threshold : DrThreshold)
            if (DrmaxRaw[i] <= threshold)
                ++count;
        DrmaxSeg[i] = static_cast<uint8_t>(7 - count);
    }

    for (int i = 0; i < Rows; ++i) {
        const int R = std::clamp<int>(PmaxCol[i], 1, LoadCols - 1);
        const double f = (static_cast<int32_t>(PmaxRaw[i]) - PRaw[R - 1]) * 0.03125;
        FullLoad[i].Pos = (R - 1) + f;
        FullLoad[i].Uoz = Uoz[i][R - 1] + (Uoz[i][R] - Uoz[i][R - 1]) * f;
        FullLoad[i].Tau = Tau[i][R - 1] + (Tau[i][R] - Tau[i][R - 1]) * f;
        FullLoad[i].Lambda = Lambda[i][R - 1] + (Lambda[i][R] - Lambda[i][R - 1]) * f;

        // Segment 1 (throttle at or below raw 70) holds column 0 on both sides.
        const int s = DrmaxSeg[i];
        const int lo = std::max(s - 2, 0);
        const int hi = s - 1;
        const double g = ((DrmaxRaw[i] - DrBreak[s - 1]) * DrSlope[s - 1]) / 256.0;
        DrmaxCoefCorTau[i] = CoefCorTau[i][lo] + (CoefCorTau[i][hi] - CoefCorTau[i][lo]) * g;
        DrmaxCoefCorUoz[i] = CoefCorUoz[i][lo] + (CoefCorUoz[i][hi] - CoefCorUoz[i][lo]) * g;
    }

    for (int k = 0; k < DrCols; ++k)
        for (int r = 0; r < Rows; ++r) {
            CorUoz[r][k] = CorUozValue(FullLoad[r].Uoz, CoefCorUoz[r][k]);
            CorTau[r][k] = CorTauValue(FullLoad[r].Tau, CoefCorTau[r][k]);
        }

    DecodeIdent();
}

void FirmwareImage::DecodeIdent() {
    for (int i = 0; i < IdentCount; ++i) {
        IdentField f = Ident(i);
        std::memcpy(f.text, Data.get() + f.address, static_cast<size_t>(f.length));
        f.text[f.length] = '\0';
        TrimInPlace(f.text);
        const std::string converted = Cp866ToCp1251(f.text);
        std::memcpy(f.text, converted.c_str(), converted.size() + 1);
    }
}

// All fourteen fields are written as one edit, so the whole store is one change set.
void FirmwareImage::EncodeIdent() {
    std::vector<uint8_t> bytes(Data.get(), Data.get() + Size);
    for (int i = 0; i < IdentCount; ++i) {
        IdentField f = Ident(i);
        f.text[f.length] = '\0';
        TrimInPlace(f.text);
        const std::string oem = Cp1251ToCp866(f.text);
        uint8_t* field = bytes.data() + f.address;
        std::memset(field, 0, static_cast<size_t>(f.length));
        std::memcpy(field, oem.data(), std::min<size_t>(oem.size(), f.length));
    }
    ReplaceData(bytes.data());
}

uint16_t FirmwareImage::ComputeChecksum() const {
    uint16_t sum = 0;
    for (uint32_t a = ChecksumFirst; a <= ChecksumLast; a += 2)
        sum = static_cast<uint16_t>(sum + ReadWord(static_cast<uint16_t>(a)));
    return sum;
}

uint16_t FirmwareImage::StoredChecksum() const {
    return ReadWord(AddrChecksum);
}

void FirmwareImage::UpdateChecksum() {
    WriteWord(AddrChecksum, ComputeChecksum());
}

bool FirmwareImage::IsModified() const {
    return std::memcmp(Data.get(), LoadedCopy.get(), Size) != 0;
}

void FirmwareImage::MarkSaved() {
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
}
