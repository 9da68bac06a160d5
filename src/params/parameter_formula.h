#pragma once

#include <string>

// The program's shared formula evaluator as the parameter database uses it: X set to x, the
// formula evaluated. The evaluator's own error types are turned into std::runtime_error with
// their message, so the window's error report can show them.
double EvaluateParameterFormula(const std::string& formula, double x);
