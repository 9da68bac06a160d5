#include "image/codepage.h"

#include <array>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>

namespace {

constexpr char32_t NoChar = 0xFFFF;

// The Unicode character of every byte of a single-byte code page, asked of iconv once.
std::array<char32_t, 256> BuildUnicodeTable(const char* codePage) {
    std::array<char32_t, 256> table{};
    iconv_t cd = iconv_open("UTF-32LE", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("Code page not available: ") + codePage);
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char out[4] = {0, 0, 0, 0};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        size_t inLeft = 1, outLeft = 4;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            outLeft != 0)
            table[b] = NoChar;
        else
            table[b] = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) |
                                             (static_cast<uint32_t>(out[3]) << 24));
    }
    iconv_close(cd);
    return table;
}

const std::array<char32_t, 256>& Cp866Table() {
    static const auto table = BuildUnicodeTable("CP866");
    return table;
}

const std::array<char32_t, 256>& Cp1251Table() {
    static const auto table = BuildUnicodeTable("CP1251");
    return table;
}

// Byte-to-byte map between two code pages through their Unicode characters.
std::array<char, 256> BuildByteMap(const std::array<char32_t, 256>& from,
                                   const std::array<char32_t, 256>& to) {
    std::array<char, 256> map{};
    for (int b = 0; b < 256; ++b) {
        map[b] = '?';
        for (int t = 0; t < 256; ++t)
            if (from[b] != NoChar && to[t] == from[b]) {
                map[b] = static_cast<char>(t);
                break;
            }
    }
    return map;
}

std::string MapBytes(const std::string& text, const std::array<char, 256>& map) {
    std::string out(text);
    for (char& c : out)
        c = map[static_cast<unsigned char>(c)];
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string Cp866ToCp1251(const std::string& text) {
    static const auto map = BuildByteMap(Cp866Table(), Cp1251Table());
    return MapBytes(text, map);
}

std::string Cp1251ToCp866(const std::string& text) {
    static const auto map = BuildByteMap(Cp1251Table(), Cp866Table());
    return MapBytes(text, map);
}

std::string Cp1251ToUtf8(const std::string& text) {
    const auto& table = Cp1251Table();
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        char32_t cp = table[static_cast<unsigned char>(c)];
        AppendUtf8(out, cp == NoChar ? U'?' : cp);
    }
    return out;
}

std::string Utf8ToCp1251(const std::string& text) {
    const auto& table = Cp1251Table();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c, len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, len = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool valid = i + len <= text.size();
        for (size_t k = 1; valid && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        i += len;
        char mapped = '?';
        for (int b = 0; b < 256; ++b)
            if (table[b] == cp && cp != NoChar) {
                mapped = static_cast<char>(b);
                break;
            }
        out += mapped;
    }
    return out;
}
