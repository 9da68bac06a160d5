#include "params/parameter_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

std::optional<std::string> NonFinite(double value) {
    if (std::isnan(value))
        return std::string("NAN");
    if (std::isinf(value))
        return std::string(value < 0 ? "-INF" : "INF");
    return std::nullopt;
}

// Drops the sign of a text whose digits are all zero, and puts in the separator.
std::string Finish(std::string text, char separator) {
    if (!text.empty() && text[0] == '-') {
        bool allZero = true;
        for (std::size_t i = 1; i < text.size() && text[i] != 'e'; ++i)
            if (text[i] >= '1' && text[i] <= '9')
                allZero = false;
        if (allZero)
            text.erase(0, 1);
    }
    for (char& c : text)
        if (c == '.')
            c = separator;
    return text;
}

} // namespace

std::string FormatFixed(double value, int decimals, char separator) {
    if (auto special = NonFinite(value))
        return *special;
    if (decimals < 0)
        decimals = 0;
    if (decimals > 15)
        decimals = 15;
    // The value is first taken to 15 significant digits and then rounded half away from zero
    // on those decimal digits, so 12.25 shows as 12.3 with one decimal (binary rounding of
    // printf would give 12.2). to_chars writes '.' whatever the C library's locale says.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific, 14);
    const std::string scientific(buffer, written.ptr);
    const std::size_t exponent = scientific.find('e');
    std::string digits;
    for (std::size_t i = 0; i < exponent; ++i)
        if (scientific[i] != '.')
            digits += scientific[i];
    int intDigits = std::atoi(scientific.c_str() + exponent + 1) + 1; // digits before the point
    const int keep = intDigits + decimals;
    if (keep < 0) {
        digits = "0";
        intDigits = 1;
    } else if (keep < static_cast<int>(digits.size())) {
        const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                digits[static_cast<std::size_t>(i--)] = '0';
            if (i >= 0)
                ++digits[static_cast<std::size_t>(i)];
            else {
                digits.insert(digits.begin(), '1');
                ++intDigits;
            }
        }
    }
    // Lay the digits out around the point: leading zeros for small values, trailing zeros to
    // fill the decimals.
    std::string text;
    if (intDigits <= 0) {
        text = "0";
        digits.insert(0, static_cast<std::size_t>(-intDigits), '0');
        intDigits = 0;
    }
    while (static_cast<int>(digits.size()) < intDigits + decimals)
        digits += '0';
    text += digits.substr(0, static_cast<std::size_t>(intDigits));
    if (decimals > 0)
        text += "." + digits.substr(static_cast<std::size_t>(intDigits),
                                    static_cast<std::size_t>(decimals));
    if (std::signbit(value))
        text.insert(text.begin(), '-');
    return Finish(text, separator);
}

std::string FormatGeneral(double value, char separator) {
    if (auto special = NonFinite(value))
        return *special;
    // As printf's %.15g in the "C" locale, whatever locale the program runs in.
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return Finish(std::string(buffer, written.ptr), separator);
}

std::optional<double> ParseDecimal(const std::string& text, char separator) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    std::string s = text.substr(begin, end - begin);
    if (!s.empty() && s[0] == '+')
        s.erase(0, 1);
    // Only the user's separator counts as a decimal point; the other one is an error.
    for (char& c : s) {
        if (c == separator)
            c = '.';
        else if (!((c >= '0' && c <= '9') || c == 'e' || c == 'E' || c == '-' || c == '+'))
            return std::nullopt; // also keeps out "inf" and "nan"
    }
    if (s.empty())
        return std::nullopt;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}
