#include "image/hex_format.h"

#include "image/hex_digit.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <streambuf>

namespace {

constexpr size_t MaxHexLine = 254;
constexpr size_t HexBytesPerRecord = 16;
// A record holds at most 255 data bytes, so no valid line parses to more than this.
constexpr size_t MaxRecordBytes = 255 + 5;

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads one line without its line feed. Returns false at the end of the stream when nothing
// was read. A line longer than 254 characters (a carriage return before the line feed does not
// count) ends the load, so reading stops as soon as one is seen: a file without line feeds is
// never read into memory as a whole.
bool ReadLine(std::streambuf& buf, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    bool any = false;
    for (;;) {
        const int ch = buf.sbumpc();
        if (ch == std::char_traits<char>::eof())
            break;
        any = true;
        if (ch == '\n')
            break;
        line += static_cast<char>(ch);
        if (line.size() > MaxHexLine + 1) {
            tooLong = true;
            return true;
        }
    }
    tooLong = line.size() == MaxHexLine + 1 && line.back() != '\r';
    return any;
}

// True when nothing but white space is left in the stream.
bool OnlyWhiteSpaceLeft(std::streambuf& buf) {
    for (;;) {
        const int ch = buf.sbumpc();
        if (ch == std::char_traits<char>::eof())
            return true;
        if (!IsWhiteSpace(static_cast<char>(ch)))
            return false;
    }
}

enum class ParseResult { Ok, NoMark, BadDigit };

// The bytes of one line with its white space removed: everything after the first ':' read two
// characters at a time, a lone last character as a byte by itself.
ParseResult ParseHexBytes(const std::string& line, uint8_t* bytes, size_t& count) {
    count = 0;
    std::string digits;
    digits.reserve(line.size());
    for (char c : line)
        if (!IsWhiteSpace(c))
            digits += c;
    const size_t colon = digits.find(':');
    if (colon == std::string::npos)
        return ParseResult::NoMark;
    for (size_t i = colon + 1; i < digits.size(); i += 2) {
        int value = HexDigit(digits[i]);
        if (value < 0)
            return ParseResult::BadDigit;
        if (i + 1 < digits.size()) {
            const int low = HexDigit(digits[i + 1]);
            if (low < 0)
                return ParseResult::BadDigit;
            value = value * 16 + low;
        }
        if (count < MaxRecordBytes + 1)
            bytes[count] = static_cast<uint8_t>(value);
        ++count;
    }
    return ParseResult::Ok;
}

const char* HexStopText(HexStop stop) {
    switch (stop) {
    case HexStop::None:
        break;
    case HexStop::BlankLine:
        return "blank line";
    case HexStop::NoRecordMark:
        return "no record mark ':'";
    case HexStop::BadDigit:
        return "not a hexadecimal digit";
    case HexStop::LineTooLong:
        return "line longer than 254 characters";
    case HexStop::AddressAbove8000:
        return "record address above 0x8000";
    case HexStop::LengthMismatch:
        return "record length does not match its bytes";
    case HexStop::BadChecksum:
        return "bad record checksum";
    case HexStop::BadExtendedAddress:
        return "upper address record without a 2-byte address";
    }
    return "";
}

// Adds one address to a list of ranges; consecutive addresses join the range before them.
void AddAddress(std::vector<AddressRange>& ranges, uint32_t address) {
    if (!ranges.empty() && ranges.back().last + 1 == address)
        ranges.back().last = address;
    else
        ranges.push_back({address, address});
}

// Sorted, with overlapping and touching ranges joined.
std::vector<AddressRange> Merged(std::vector<AddressRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const AddressRange& a, const AddressRange& b) { return a.first < b.first; });
    std::vector<AddressRange> merged;
    for (const AddressRange& r : ranges) {
        if (!merged.empty() && r.first <= merged.back().last + 1)
            merged.back().last = std::max(merged.back().last, r.last);
        else
            merged.push_back(r);
    }
    return merged;
}

// Where the data bytes of a HEX file land: in the image, with the image addresses that got a
// byte remembered, or in the list of addresses outside it.
class RecordSink {
public:
    explicit RecordSink(uint8_t* data) : data_(data) {}

    void Store(uint32_t fullAddress, uint8_t value) {
        uint32_t address = fullAddress;
        if (address >= UnitBase && address - UnitBase < FirmwareImage::Size)
            address -= UnitBase;
        if (address >= FirmwareImage::Size) {
            AddAddress(outside_, fullAddress);
            return;
        }
        data_[address] = value;
        AddAddress(covered_, address);
    }

    // The image addresses between the covered ranges.
    std::vector<AddressRange> Missing() const {
        std::vector<AddressRange> missing;
        uint32_t next = 0; // first address not known to be covered
        for (const AddressRange& r : Merged(covered_)) {
            if (r.first > next)
                missing.push_back({next, r.first - 1});
            next = r.last + 1;
        }
        if (next < FirmwareImage::Size)
            missing.push_back({next, FirmwareImage::Size - 1});
        return missing;
    }

    std::vector<AddressRange> Outside() const { return Merged(outside_); }

private:
    // The unit holds its 32 KB memory at this address; files written for it use it too.
    static constexpr uint32_t UnitBase = 0xC00000;

    uint8_t* data_;
    std::vector<AddressRange> covered_;
    std::vector<AddressRange> outside_;
};

} // namespace

HexLoadResult ReadHexRecords(std::istream& in, uint8_t* data) {
    HexLoadResult result;
    RecordSink sink(data);
    int lineNo = 0;
    auto finish = [&](HexStop stop) {
        result.stop = stop;
        result.reason = HexStopText(stop);
        result.line = stop == HexStop::None ? 0 : lineNo;
        result.missing = sink.Missing();
        result.outside = sink.Outside();
        result.complete = stop == HexStop::None && result.endRecord && result.missing.empty() &&
                          result.outside.empty();
        return result;
    };
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr)
        return finish(HexStop::None);
    std::string line;
    uint8_t bytes[MaxRecordBytes + 1];
    uint32_t upperAddress = 0; // from the last type 02 or 04 record
    bool tooLong = false;
    while (ReadLine(*buf, line, tooLong)) {
        ++lineNo;
        if (tooLong)
            return finish(HexStop::LineTooLong);
        size_t count = 0;
        const ParseResult parsed = ParseHexBytes(line, bytes, count);
        if (parsed == ParseResult::BadDigit)
            return finish(HexStop::BadDigit);
        if (parsed == ParseResult::NoMark) {
            bool blank = true;
            for (char c : line)
                blank = blank && IsWhiteSpace(c);
            // Blank lines at the very end lose nothing: the image is all the file holds.
            if (blank && OnlyWhiteSpaceLeft(*buf))
                return finish(HexStop::None);
            return finish(blank ? HexStop::BlankLine : HexStop::NoRecordMark);
        }
        if (count >= 3 && bytes[1] * 256u + bytes[2] > 0x8000)
            return finish(HexStop::AddressAbove8000);
        if (count < 5 || count != bytes[0] + 5u)
            return finish(HexStop::LengthMismatch);
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < count; ++i)
            sum = static_cast<uint8_t>(sum + bytes[i]);
        if (static_cast<uint8_t>(-sum) != bytes[count - 1])
            return finish(HexStop::BadChecksum);
        const uint8_t length = bytes[0];
        const uint32_t offset = bytes[1] * 256u + bytes[2];
        switch (bytes[3]) {
        case 0:
            for (uint32_t i = 0; i < length; ++i)
                sink.Store(upperAddress + offset + i, bytes[4 + i]);
            break;
        case 1:
            result.endRecord = true;
            break;
        case 2:
        case 4:
            // Without its value the records that follow would land at a guessed address.
            if (length != 2)
                return finish(HexStop::BadExtendedAddress);
            upperAddress = bytes[4] * 256u + bytes[5];
            upperAddress <<= bytes[3] == 2 ? 4 : 16;
            break;
        default:
            break; // start addresses and unknown types carry no data for the image
        }
    }
    return finish(HexStop::None);
}

bool GaveNoImageData(const HexLoadResult& result) {
    return result.missing.size() == 1 && result.missing[0].first == 0 &&
           result.missing[0].last == FirmwareImage::Size - 1;
}

std::string FormatAddressRanges(const std::vector<AddressRange>& ranges, std::size_t limit) {
    std::string text;
    char number[16];
    for (std::size_t i = 0; i < ranges.size() && i < limit; ++i) {
        if (i > 0)
            text += ", ";
        std::snprintf(number, sizeof number, "0x%04X", static_cast<unsigned>(ranges[i].first));
        text += number;
        if (ranges[i].last != ranges[i].first) {
            std::snprintf(number, sizeof number, "..0x%04X", static_cast<unsigned>(ranges[i].last));
            text += number;
        }
    }
    return text;
}

std::vector<std::string> HexLoadProblems(const HexLoadResult& result, std::size_t limit) {
    std::vector<std::string> problems;
    if (result.complete)
        return problems;
    auto ranges = [&](const std::vector<AddressRange>& list) {
        std::string text = FormatAddressRanges(list, limit);
        if (list.size() > limit)
            text += " and " + std::to_string(list.size() - limit) + " more";
        return text;
    };
    if (result.stop != HexStop::None)
        problems.push_back("the load ended early at line " + std::to_string(result.line) + ": " +
                           result.reason + "; nothing after it was loaded");
    if (!result.endRecord)
        problems.push_back("no end-of-file record");
    if (GaveNoImageData(result))
        problems.push_back("no data for any address of the image");
    else if (!result.missing.empty())
        problems.push_back("no data for " + ranges(result.missing));
    if (!result.outside.empty())
        problems.push_back("data outside the image, not loaded: " + ranges(result.outside));
    return problems;
}

std::string WriteHexText(const uint8_t* data) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(17 + (FirmwareImage::Size / HexBytesPerRecord) * 45 + 13);
    auto put = [&](uint8_t b) {
        text += Digits[b >> 4];
        text += Digits[b & 0xF];
    };
    text += ":0200000400C03A\r\n";
    for (size_t block = 0; block < FirmwareImage::Size; block += HexBytesPerRecord) {
        const uint8_t high = static_cast<uint8_t>(block >> 8);
        const uint8_t low = static_cast<uint8_t>(block & 0xFF);
        uint8_t sum = static_cast<uint8_t>(HexBytesPerRecord + high + low);
        text += ':';
        put(HexBytesPerRecord);
        put(high);
        put(low);
        put(0);
        for (size_t i = 0; i < HexBytesPerRecord; ++i) {
            put(data[block + i]);
            sum = static_cast<uint8_t>(sum + data[block + i]);
        }
        put(static_cast<uint8_t>(-sum));
        text += "\r\n";
    }
    text += ":00000001FF\r\n";
    return text;
}
