#include "image/firmware_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t MaxHexLine = 254;
constexpr size_t HexBytesPerRecord = 16;

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Parses the bytes of one HEX line: everything after the first ':' read two characters at a
// time, a lone last character as a byte by itself. Returns false on a non-hexadecimal digit.
bool ParseHexBytes(const std::string& line, std::vector<uint8_t>& bytes) {
    bytes.clear();
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return true;
    for (size_t i = colon + 1; i < line.size(); i += 2) {
        int value = HexDigit(line[i]);
        if (value < 0)
            return false;
        if (i + 1 < line.size()) {
            const int low = HexDigit(line[i + 1]);
            if (low < 0)
                return false;
            value = value * 16 + low;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return true;
}

std::string StripWhiteSpace(const std::string& line) {
    std::string out;
    out.reserve(line.size());
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f')
            out += c;
    return out;
}

// Writes a file through a temporary file in the same folder, renamed over the target only
// when everything was written, so a failed save never destroys the previous file.
void WriteFileAtomically(const std::string& fileName, const void* data, size_t size,
                         const std::string& openError) {
    std::string temp = fileName + ".XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error(openError);
    temp.assign(pattern.data());

    const char* p = static_cast<const char*>(data);
    size_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            p += n, left -= static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    // mkstemp creates the file readable by its owner only; give it the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    ok = fchmod(fd, 0666 & ~mask) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), fileName.c_str()) == 0)
        return;
    const std::string reason = std::strerror(errno);
    std::remove(temp.c_str());
    throw std::runtime_error(openError + " (" + reason + ")");
}

// Opens a file for reading; a folder or a file that cannot be opened raises "Can't open file.".
std::ifstream OpenForReading(const std::string& fileName) {
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(fileName, ec))
        in.open(fileName, std::ios::binary);
    if (!in.is_open())
        throw std::runtime_error("Can't open file.");
    return in;
}

} // namespace

// The loaders open the file before clearing the image: a file that cannot be opened leaves the
// image as it was, so a failed open never loses what the user had.
HexLoadResult FirmwareImage::LoadHex(const std::string& fileName) {
    std::ifstream in = OpenForReading(fileName);
    Clear();

    HexLoadResult result;
    std::string raw;
    std::vector<uint8_t> bytes;
    int lineNo = 0;
    auto stop = [&](const char* reason) {
        result.complete = false;
        result.line = lineNo;
        result.reason = reason;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        size_t length = raw.size();
        if (length > 0 && raw[length - 1] == '\r')
            --length;
        if (length > MaxHexLine) {
            stop("line longer than 254 characters");
            break;
        }
        const std::string line = StripWhiteSpace(raw);
        if (!ParseHexBytes(line, bytes)) {
            stop("not a hexadecimal digit");
            break;
        }
        if (line.find(':') == std::string::npos) {
            stop(line.empty() ? "blank line" : "no record mark ':'");
            break;
        }
        const size_t count = bytes.size();
        if (count >= 3) {
            const unsigned address = bytes[1] * 256u + bytes[2];
            if (address > 0x8000) {
                stop("record address above 0x8000");
                break;
            }
        }
        if (count < 5 || count != bytes[0] + 5u) {
            stop("record length does not match its bytes");
            break;
        }
        uint8_t sum = 0;
        for (size_t i = 0; i + 1 < count; ++i)
            sum = static_cast<uint8_t>(sum + bytes[i]);
        if (static_cast<uint8_t>(-sum) != bytes[count - 1]) {
            stop("bad record checksum");
            break;
        }
        if (bytes[3] == 0) {
            const size_t address = bytes[1] * 256u + bytes[2];
            for (size_t i = 0; i < bytes[0] && address + i < Size; ++i)
                Data[address + i] = bytes[4 + i];
        }
    }
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    return result;
}

void FirmwareImage::LoadBin(const std::string& fileName) {
    std::ifstream in = OpenForReading(fileName);
    Clear();
    in.read(reinterpret_cast<char*>(Data.get()), Size);
    if (in.bad())
        throw std::runtime_error("Can't read file.");
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
}

void FirmwareImage::SaveBin(const std::string& fileName) const {
    WriteFileAtomically(fileName, Data.get(), Size, "Can't open file.");
}

void FirmwareImage::SaveHex(const std::string& fileName) const {
    if (fileName.empty())
        return;
    static const char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(2050 * 45);
    text += ":0200000400C03A\r\n";
    for (size_t block = 0; block < Size; block += HexBytesPerRecord) {
        uint8_t sum = static_cast<uint8_t>(HexBytesPerRecord + (block >> 8) + (block & 0xFF));
        auto put = [&](uint8_t b) {
            text += Digits[b >> 4];
            text += Digits[b & 0xF];
        };
        text += ':';
        put(HexBytesPerRecord);
        put(static_cast<uint8_t>(block >> 8));
        put(static_cast<uint8_t>(block & 0xFF));
        put(0);
        for (size_t i = 0; i < HexBytesPerRecord; ++i) {
            put(Data[block + i]);
            sum = static_cast<uint8_t>(sum + Data[block + i]);
        }
        put(static_cast<uint8_t>(-sum));
        text += "\r\n";
    }
    text += ":00000001FF\r\n";
    WriteFileAtomically(fileName, text.data(), text.size(), "Cannot create file " + fileName);
}
