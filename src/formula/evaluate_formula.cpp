#include "formula/calc.h"

namespace {

// The shared evaluator: a static object, so it exists before main() creates any window and
// lives until exit. Variables a formula assigns stay set for later formulas.
calc_var shared_evaluator;

} // namespace

calc_var& shared_calc() {
    return shared_evaluator;
}

double evaluate_formula(const char* formula, double x) {
    shared_evaluator.set_variable('X', x);
    shared_evaluator.set_expression(formula);
    return shared_evaluator.evaluate();
}
