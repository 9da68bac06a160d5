#include "params/parameter_formula.h"

#include "formula/calc.h"
#include "formula/calc_errors.h"

#include <exception>
#include <stdexcept>

double EvaluateParameterFormula(const std::string& formula, double x) {
    try {
        return evaluate_formula(formula.c_str(), x);
    } catch (...) {
        // The evaluator's exceptions derive from nothing; give them the program's usual text.
        const std::optional<std::string> text = DescribeCalcError(std::current_exception());
        if (!text)
            throw;
        throw std::runtime_error(*text);
    }
}
