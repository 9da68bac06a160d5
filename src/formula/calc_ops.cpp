#include "formula/calc_ops.h"

#include "formula/calc.h"

#include <cmath>
#include <cstdint>
#include <cstring>

const char* const kCtgMessage = "can't calculate \xD1\x81tg";

namespace {

// Truncation of a double to a 32-bit integer is only defined when the truncated value fits;
// NaN and infinities never fit.
bool FitsInt32(double v) {
    return v > -2147483649.0 && v < 2147483648.0;
}

double Remainder(double a, double b) {
    if (!FitsInt32(a) || !FitsInt32(b))
        throw calc::MathError{"operand of % is out of range"};
    const std::int32_t dividend = static_cast<std::int32_t>(a);
    const std::int32_t divisor = static_cast<std::int32_t>(b);
    if (divisor == 0)
        throw calc::divzero{};
    // INT32_MIN % -1 overflows in C++; every remainder by -1 is 0.
    if (divisor == -1)
        return 0.0;
    return static_cast<double>(dividend % divisor);
}

// Beyond this many multiplications an integral power that has not yet settled at 0, an
// infinity or NaN is taken from the library power function: repeating up to 2^31
// multiplications would freeze the program for seconds per operator.
constexpr std::uint32_t kMaxRepeatedProducts = 1u << 20;

// a multiplied by itself `count` times over (count >= 1), each product rounded to a double,
// as existing formulas expect. Once a product keeps the magnitude (0, an infinity, |a| == 1, the
// smallest subnormal...) every further product keeps it too and only flips the sign when a < 0,
// so the loop stops there and settles the sign by parity.
double RepeatedProduct(double a, std::uint32_t count) {
    double r = a;
    for (std::uint32_t i = 1; i < count; ++i) {
        const double next = r * a;
        if (std::isnan(next))
            return next;
        if (std::fabs(next) == std::fabs(r)) {
            const std::uint32_t left = count - i; // products still to apply, this one included
            return (a < 0 && left % 2 == 1) ? -r : r;
        }
        r = next;
        if (i == kMaxRepeatedProducts)
            return std::pow(a, static_cast<double>(count));
    }
    return r;
}

double Power(double a, double b) {
    if (a == 0 && b <= 0)
        throw calc::MathError{"Raising zero into power that is not greater than 0"};
    if (b == std::trunc(b)) {
        if (!FitsInt32(b))
            throw calc::MathError{"power is out of range"};
        const std::int32_t n = static_cast<std::int32_t>(b);
        if (n == 0)
            return 1.0;
        const std::uint32_t count =
            n < 0 ? 0u - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
        const double r = RepeatedProduct(a, count);
        if (n > 0)
            return r;
        if (r == 0)
            return std::copysign(HUGE_VAL, r);
        return 1.0 / r;
    }
    if (a < 0)
        throw calc::MathError{"Raising number, that is less than zero into not integer power"};
    if (a == 0)
        return 0.0;
    return std::exp(b * std::log(a));
}

const char* const kFunctionNames[] = {"abs", "sin", "cos",  "tg",  "ctg",
                                      "ln",  "exp", "asin", "acos"};

} // namespace

double calc_binary(char op, double a, double b) {
    switch (op) {
    case '*':
        return a * b;
    case '/':
        if (b == 0)
            throw calc::divzero{};
        return a / b;
    case '%':
        return Remainder(a, b);
    default: // '^'
        return Power(a, b);
    }
}

int calc_find_function(const char* name) {
    for (int i = 0; i < static_cast<int>(sizeof kFunctionNames / sizeof *kFunctionNames); ++i)
        if (std::strcmp(name, kFunctionNames[i]) == 0)
            return i;
    return -1;
}

double calc_call_function(int index, double a) {
    switch (index) {
    case 0:
        return std::fabs(a);
    case 1:
        return std::sin(a);
    case 2:
        return std::cos(a);
    case 3: {
        const double c = std::cos(a);
        if (c == 0)
            throw calc::MathError{"can't calculate tg"};
        return std::sin(a) / c;
    }
    case 4: {
        const double s = std::sin(a);
        if (s == 0)
            throw calc::MathError{kCtgMessage};
        return std::cos(a) / s;
    }
    case 5:
        if (a <= 0)
            throw calc::MathError{"argument of lg is <= zero"};
        return std::log(a);
    case 6:
        return std::exp(a);
    case 7:
        if (a < -1 || a > 1)
            throw calc::MathError{"argument of asin is out of ranges"};
        return std::asin(a);
    default: // 8
        if (a < -1 || a > 1)
            throw calc::MathError{"argument of acos is out of ranges"};
        return std::acos(a);
    }
}
