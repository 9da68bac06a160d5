#include "params/parameter_formula.h"

#include "formula/calc.h"
#include "formula/calc_errors.h"

double EvaluateParameterFormula(const std::string& formula, double x) {
    return ConvertCalcErrors([&] { return evaluate_formula(formula.c_str(), x); });
}
