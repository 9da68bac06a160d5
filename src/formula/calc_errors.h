#pragma once

#include <exception>
#include <optional>
#include <string>

// The text shown for one of the evaluator's exceptions, the same in the command-line tool and
// in the program's error box: "SyntaxError: MESSAGE", "MathError: MESSAGE" or "divzero".
// Messages are UTF-8. Returns nothing when `error` is not one of the evaluator's exceptions.
std::optional<std::string> DescribeCalcError(std::exception_ptr error);
