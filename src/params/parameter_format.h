#pragma once

#include <optional>
#include <string>

// Number texts of the parameter window, with the user's decimal separator. Zero never shows a
// sign: a value that is zero, or that rounds to zero in the pattern, is shown without '-'.
// Infinities and NaN show as INF, -INF and NAN. The texts never depend on the C library's
// locale: the separator given is the only one used.

// Fixed notation with exactly `decimals` decimals (clamped to 0..15).
std::string FormatFixed(double value, int decimals, char separator);
// General format: up to 15 significant digits, no trailing zeros.
std::string FormatGeneral(double value, char separator);
// Reads a decimal number typed with `separator` (the other separator is not accepted), with
// an optional sign and exponent and surrounding blanks. Nothing for any other text.
std::optional<double> ParseDecimal(const std::string& text, char separator);
