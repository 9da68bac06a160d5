// velmaris-cli eval [-x VALUE] FORMULA...
// Evaluates the formulas in order on one evaluator, so variables one formula assigns are seen
// by the next, with X set to VALUE (default 0). Prints one line per formula: the result with
// 17 significant digits, or the error as "SyntaxError: MESSAGE", "MathError: MESSAGE" or
// "divzero". Exit status 0 when every formula evaluated, 1 when any failed, 2 for bad arguments.
#include "cli/command.h"
#include "formula/calc.h"
#include "formula/calc_errors.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <locale.h>
#include <optional>

namespace {

const char kUsage[] = "eval [-x VALUE] FORMULA...";

// Parses VALUE in the C locale ('.' as decimal point, whatever the environment says). The
// whole text must be a number: no blanks, no trailing characters, no overflow.
std::optional<double> ParseValue(const std::string& text) {
    if (text.empty() || text[0] == ' ' || text[0] == '\t' || text[0] == '\n' || text[0] == '\r' ||
        text[0] == '\v' || text[0] == '\f')
        return std::nullopt;
    const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c_locale == static_cast<locale_t>(nullptr))
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = strtod_l(text.c_str(), &end, c_locale);
    const bool overflow = errno == ERANGE && std::isinf(value);
    freelocale(c_locale);
    if (end != text.c_str() + text.size() || overflow)
        return std::nullopt;
    return value;
}

// The result with 17 significant digits, independent of the locale; infinities and NaN as the
// program shows them, a negative zero as 0.
std::string FormatResult(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        value = 0; // -0 shows as 0: the sign of a zero means nothing to the user
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return std::string(buffer, result.ptr);
}

int BadArguments(const char* why) {
    std::cerr << "velmaris-cli eval: " << why << "\nusage: velmaris-cli " << kUsage << "\n";
    return 2;
}

int RunEval(const std::vector<std::string>& args) {
    double x = 0.0;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--") {
            ++i;
            break;
        }
        if (args[i] != "-x")
            break;
        if (i + 1 == args.size())
            return BadArguments("-x needs a VALUE");
        const std::optional<double> value = ParseValue(args[++i]);
        if (!value)
            return BadArguments("VALUE is not a number");
        x = *value;
    }
    if (i == args.size())
        return BadArguments("no FORMULA given");

    int status = 0;
    for (; i < args.size(); ++i) {
        try {
            const double result =
                ConvertCalcErrors([&] { return evaluate_formula(args[i].c_str(), x); });
            std::cout << FormatResult(result) << "\n";
        } catch (const CalcError& e) {
            std::cout << e.what() << "\n";
            status = 1;
        }
    }
    return status;
}

const CliCommandRegistration registration({"eval", kUsage, RunEval});

} // namespace
