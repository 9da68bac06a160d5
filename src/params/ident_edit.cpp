#include "params/ident_edit.h"

#include "image/codepage.h"

#include <algorithm>
#include <cstring>

namespace {

// White space as the image trims it (C locale isspace, spelt out so no locale is consulted).
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// Text as a zero-terminated member would hold it: cut at the first zero, at most N bytes.
std::string FieldText(const std::string& text, int length) {
    return text.substr(0, std::min(text.find('\0'), static_cast<size_t>(length)));
}

} // namespace

IdentEdit::IdentEdit(FirmwareImage& image) {
    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        const FirmwareImage::IdentField f = image.Ident(i);
        shown_[i] = FieldText(std::string(f.text, static_cast<size_t>(f.length)), f.length);

        std::string raw(static_cast<size_t>(f.length), '\0');
        for (int b = 0; b < f.length; ++b)
            raw[b] = static_cast<char>(image.ReadByte(static_cast<uint16_t>(f.address + b)));
        raw = Trimmed(FieldText(raw, f.length));
        const std::string decoded = Cp866ToCp1251(raw);
        // Only raw text the window was really showing counts, and only when it is lossy.
        if (decoded == shown_[i] && Cp1251ToCp866(decoded) != raw)
            keepRaw_[i] = raw;
    }
}

void IdentEdit::Store(FirmwareImage& image, const Texts& texts) const {
    // The texts and the raw bytes kept are one decode, once everything is stored. Whether a
    // field is as shown is asked of the text given, never of the member, which the decode
    // rewrites.
    FirmwareImage::WriteBatch batch(image);
    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        const FirmwareImage::IdentField f = image.Ident(i);
        const std::string text = FieldText(texts[i], f.length);
        std::memset(f.text, 0, static_cast<size_t>(f.length) + 1);
        std::memcpy(f.text, text.data(), text.size());
    }
    image.EncodeIdent();

    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        const FirmwareImage::IdentField f = image.Ident(i);
        if (keepRaw_[i].empty() || Trimmed(FieldText(texts[i], f.length)) != shown_[i])
            continue;
        for (int b = 0; b < f.length; ++b) {
            const size_t at = static_cast<size_t>(b);
            const char c = at < keepRaw_[i].size() ? keepRaw_[i][at] : '\0';
            image.WriteByte(static_cast<uint16_t>(f.address + b), static_cast<uint8_t>(c));
        }
    }
}
