#include "image/hex_format.h"

#include <istream>
#include <streambuf>

namespace {

constexpr size_t MaxHexLine = 254;
constexpr size_t HexBytesPerRecord = 16;
// A record holds at most 255 data bytes, so no valid line parses to more than this.
constexpr size_t MaxRecordBytes = 255 + 5;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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

} // namespace

HexLoadResult ReadHexRecords(std::istream& in, uint8_t* data) {
    HexLoadResult result;
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr)
        return result;
    std::string line;
    uint8_t bytes[MaxRecordBytes + 1];
    int lineNo = 0;
    auto stop = [&](const char* reason) {
        result.complete = false;
        result.line = lineNo;
        result.reason = reason;
        return result;
    };
    // A file without a single data byte would pass for a complete, all-zero image.
    bool anyData = false;
    auto finish = [&]() {
        if (anyData)
            return result;
        ++lineNo;
        return stop("no data records");
    };
    bool tooLong = false;
    while (ReadLine(*buf, line, tooLong)) {
        ++lineNo;
        if (tooLong)
            return stop("line longer than 254 characters");
        size_t count = 0;
        const ParseResult parsed = ParseHexBytes(line, bytes, count);
        if (parsed == ParseResult::BadDigit)
            return stop("not a hexadecimal digit");
        if (parsed == ParseResult::NoMark) {
            bool blank = true;
            for (char c : line)
                blank = blank && IsWhiteSpace(c);
            // Blank lines at the very end lose nothing: the image is all the file holds.
            if (blank && OnlyWhiteSpaceLeft(*buf))
                return finish();
            return stop(blank ? "blank line" : "no record mark ':'");
        }
        if (count >= 3 && bytes[1] * 256u + bytes[2] > 0x8000)
            return stop("record address above 0x8000");
        if (count < 5 || count != bytes[0] + 5u)
            return stop("record length does not match its bytes");
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < count; ++i)
            sum = static_cast<uint8_t>(sum + bytes[i]);
        if (static_cast<uint8_t>(-sum) != bytes[count - 1])
            return stop("bad record checksum");
        if (bytes[3] == 0) {
            anyData = anyData || bytes[0] > 0;
            const size_t address = bytes[1] * 256u + bytes[2];
            for (size_t i = 0; i < bytes[0] && address + i < FirmwareImage::Size; ++i)
                data[address + i] = bytes[4 + i];
        }
    }
    return finish();
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
