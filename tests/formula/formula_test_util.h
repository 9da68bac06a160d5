#pragma once

#include "formula/calc.h"
#include "formula/calc_errors.h"

#include <cmath>

#include <string>

// Evaluates `text` on `c` with X = x, as evaluate_formula does on the shared evaluator.
inline double Eval(calc_var& c, const char* text, double x = 0.0) {
    c.set_variable('X', x);
    c.set_expression(text);
    return c.evaluate();
}

// What evaluating `text` raises, as the program shows it ("SyntaxError: ...", "MathError: ...",
// "divzero"), or "value" when it evaluates without error.
inline std::string ErrorOf(calc_var& c, const char* text, double x = 0.0) {
    try {
        Eval(c, text, x);
        return "value";
    } catch (...) {
        return DescribeCalcError(std::current_exception()).value_or("foreign exception");
    }
}
