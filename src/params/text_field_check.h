#pragma once

#include <optional>
#include <string>

// Whether a text field read from a parameter database can be what was written there. The
// database holds its texts in code page 1251, so a character outside it, a control character
// or a text longer than its column can only come from damage; marks are identifiers and
// formulas plain ASCII. A damaged field is reported and its record left out, instead of a
// garbled name, mark, unit or formula being taken for data.
//
// column: the field's name in the fixed schema ("Mark", "Name", "InFormula", ...); text: the
// value in UTF-8; maxChars: the column's size in characters. Returns why the text cannot be
// right, in Russian, or nothing when it can.
std::optional<std::string> TextFieldProblem(const std::string& column, const std::string& text,
                                            int maxChars);

// Whether a floating-point field read from a parameter database can be what was written there:
// calibration limits and results are never infinite, beyond 1e12 or closer to 0 than 1e-9
// without being 0 (damage to their bytes makes such numbers). Why not, or nothing.
std::optional<std::string> NumberFieldProblem(double value);
