#pragma once

#include <exception>
#include <optional>
#include <stdexcept>
#include <string>

// The text shown for one of the evaluator's exceptions, the same in the command-line tool and
// in the program's error box: "SyntaxError: MESSAGE", "MathError: MESSAGE" or "divzero".
// Messages are UTF-8. Returns nothing when `error` is not one of the evaluator's exceptions.
std::optional<std::string> DescribeCalcError(std::exception_ptr error);

// One of the evaluator's exceptions as a standard exception, with DescribeCalcError's text.
class CalcError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws `error` again: as CalcError when it is one of the evaluator's exceptions, else as it
// is.
[[noreturn]] void RethrowAsCalcError(std::exception_ptr error);

// Runs `body` and returns its result. The evaluator's exceptions derive from nothing, so every
// handler that expects std::exception gets them through here, as CalcError; any other
// exception leaves unchanged.
template <typename Body> auto ConvertCalcErrors(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        RethrowAsCalcError(std::current_exception());
    }
}
