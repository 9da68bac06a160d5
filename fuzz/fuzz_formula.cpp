// Feeds arbitrary text to the formula evaluator, both the program's calc_var and the plain base
// parser. The evaluator's own exceptions are expected results; anything else (a crash, a
// sanitizer report, another exception, a hang) is a fault.
#include "formula/calc.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

template <class F> void Guarded(F evaluate) {
    try {
        evaluate();
    } catch (const calc::divzero&) {
    } catch (const calc::MathError& e) {
        if (e.message == nullptr)
            __builtin_trap();
    } catch (const calc::SyntaxError& e) {
        if (e.message == nullptr)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks X; the rest is the formula, zero-terminated (an embedded zero ends
    // it early, as it would in the program).
    static const double kX[] = {0.0,
                                1.0,
                                -1.0,
                                64.0,
                                0.5,
                                -2147483648.0,
                                1e308,
                                std::numeric_limits<double>::denorm_min(),
                                HUGE_VAL,
                                -HUGE_VAL,
                                std::numeric_limits<double>::quiet_NaN()};
    double x = 0.0;
    if (size > 0) {
        x = kX[data[0] % (sizeof kX / sizeof *kX)];
        ++data;
        --size;
    }
    char text[1024];
    const std::size_t n = size < sizeof text - 1 ? size : sizeof text - 1;
    std::memcpy(text, data, n);
    text[n] = '\0';

    shared_calc().clear_vars();
    Guarded([&] { evaluate_formula(text, x); });

    calc base;
    base.set_expression(text);
    Guarded([&] { base.expression(); });
    return 0;
}
