#include "params/text_field_check.h"

#include "image/codepage.h"

#include <cmath>
#include <cstdint>

namespace {

bool IsMarkColumn(const std::string& column) {
    return column == "Mark" || column == "MarkArg";
}

bool IsFormulaColumn(const std::string& column) {
    return column == "InFormula" || column == "OutFormula" || column == "FormulaArg";
}

// The number of characters of valid UTF-8 text; -1 when it is not valid UTF-8.
int Utf8Length(const std::string& text) {
    int count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size())
            return -1;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
                return -1;
        i += length;
    }
    return count;
}

} // namespace

std::optional<std::string> TextFieldProblem(const std::string& column, const std::string& text,
                                            int maxChars) {
    const int length = Utf8Length(text);
    if (length < 0)
        return "не текст";
    if (maxChars > 0 && length > maxChars)
        return "длиннее " + std::to_string(maxChars) + " знаков";
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F)
            return "управляющий знак";
    }
    if (IsMarkColumn(column)) {
        for (const char c : text)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  c == '_'))
                return "обозначение не из латинских букв, цифр и «_»";
        return std::nullopt;
    }
    if (IsFormulaColumn(column)) {
        for (const char c : text)
            if (static_cast<uint8_t>(c) >= 0x80)
                return "формула не из знаков ASCII";
        return std::nullopt;
    }
    // Every character must have its place in code page 1251: the round trip gives it back.
    if (Cp1251ToUtf8(Utf8ToCp1251(text)) != text)
        return "знаки вне кодовой страницы 1251";
    return std::nullopt;
}

std::optional<std::string> NumberFieldProblem(double value) {
    const double size = std::fabs(value);
    if (!std::isfinite(value) || size > 1e12 || (value != 0 && size < 1e-9))
        return "неправдоподобное число";
    return std::nullopt;
}
