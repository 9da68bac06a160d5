#include "params/parameter_formula.h"

#include "formula/calc.h"

#include <stdexcept>

double EvaluateParameterFormula(const std::string& formula, double x) {
    try {
        return evaluate_formula(formula.c_str(), x);
    } catch (const calc::divzero&) {
        throw std::runtime_error("Division by zero");
    } catch (const calc::MathError& e) {
        throw std::runtime_error(e.message ? e.message : "Math error");
    } catch (const calc::SyntaxError& e) {
        throw std::runtime_error(e.message ? e.message : "Syntax error");
    }
}
