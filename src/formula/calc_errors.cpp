#include "formula/calc_errors.h"

#include "formula/calc.h"

std::optional<std::string> DescribeCalcError(std::exception_ptr error) {
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const calc::SyntaxError& e) {
        return std::string("SyntaxError: ") + (e.message ? e.message : "");
    } catch (const calc::MathError& e) {
        return std::string("MathError: ") + (e.message ? e.message : "");
    } catch (const calc::divzero&) {
        return std::string("divzero");
    } catch (...) {
    }
    return std::nullopt;
}

void RethrowAsCalcError(std::exception_ptr error) {
    if (std::optional<std::string> text = DescribeCalcError(error))
        throw CalcError(*text);
    std::rethrow_exception(error);
}
