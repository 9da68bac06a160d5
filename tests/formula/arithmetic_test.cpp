// Operators and functions: powers, remainders, divisions and every function's domain.
#include "formula_test_util.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(FormulaPowers, IntegralExponentsByRepeatedMultiplication) {
    calc_var c;
    EXPECT_EQ(Eval(c, "(-2)^3"), -8.0);
    EXPECT_EQ(Eval(c, "5^0"), 1.0);
    EXPECT_EQ(Eval(c, "(-5)^0"), 1.0);
    EXPECT_EQ(Eval(c, "2^10"), 1024.0);
    EXPECT_EQ(Eval(c, "2^-3"), 0.125);
    EXPECT_EQ(Eval(c, "(-2)^-3"), -0.125);
    EXPECT_EQ(Eval(c, "2^3.0"), 8.0);
    EXPECT_EQ(Eval(c, "0^3"), 0.0);
    // Each product is rounded on its own, so the result is the one of X*X*X*X*X, which for
    // this base differs from the correctly rounded power.
    const double x = 1.1;
    EXPECT_EQ(Eval(c, "X^5", x), x * x * x * x * x);
    EXPECT_EQ(Eval(c, "X^-5", x), 1.0 / (x * x * x * x * x));
}

TEST(FormulaPowers, SettledProductsKeepTheirSign) {
    calc_var c;
    EXPECT_EQ(Eval(c, "2^2000"), HUGE_VAL);
    EXPECT_EQ(Eval(c, "(-2)^2001"), -HUGE_VAL);
    EXPECT_EQ(Eval(c, "(-2)^2000"), HUGE_VAL);
    EXPECT_EQ(Eval(c, "2^-2000"), 0.0);
    EXPECT_TRUE(std::signbit(Eval(c, "(-0.5)^2001")));
    EXPECT_FALSE(std::signbit(Eval(c, "(-0.5)^2000")));
    EXPECT_EQ(Eval(c, "(-1)^2147483647"), -1.0);
    EXPECT_EQ(Eval(c, "(-1)^-2147483648"), 1.0);
    EXPECT_EQ(Eval(c, "(-0.5)^-2001"), -HUGE_VAL);
    // A negative power is the reciprocal of the positive one, which may overflow first.
    EXPECT_EQ(Eval(c, "2^-1074"), 0.0);
    EXPECT_EQ(Eval(c, "0.5^1074"), std::numeric_limits<double>::denorm_min());
}

// The power as the loop of single rounded products that existing formulas were made with.
static double NaivePower(double a, long n) {
    double r = a;
    for (long i = 1; i < (n < 0 ? -n : n); ++i)
        r *= a;
    return n < 0 ? 1 / r : r;
}

TEST(FormulaPowers, SameAsOneProductAtATime) {
    calc_var c;
    for (const double a : {1.1, -1.3, 0.999, 1.0000001, -0.7})
        for (const long n : {2L, 3L, 17L, 777L, -1000L, 100000L}) {
            c.set_variable('A', a);
            c.set_variable('N', static_cast<double>(n));
            EXPECT_EQ(Eval(c, "A^N"), NaivePower(a, n)) << a << "^" << n;
        }
    // 0.9^k sinks into the subnormals and stops at a few times the smallest one, where
    // multiplying by 0.9 rounds back to the same value: not 0, which pow() would give.
    const double settled = NaivePower(0.9, 3000000);
    EXPECT_GT(settled, 0.0);
    EXPECT_LT(settled, 10 * std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(Eval(c, "0.9^3000000"), settled);
    EXPECT_EQ(Eval(c, "(-0.9)^3000001"), -settled);
}

TEST(FormulaPowers, HugeIntegralExponentsStayFast) {
    calc_var c;
    // (1 + 1e-10)^(2^31 - 1) never settles; it must not take 2^31 multiplications.
    const double r = Eval(c, "1.0000000001^2147483647");
    EXPECT_NEAR(r, std::exp(0.2147483647), 1e-6);
}

TEST(FormulaPowers, FractionalExponents) {
    calc_var c;
    EXPECT_EQ(Eval(c, "4^0.5"), std::exp(0.5 * std::log(4.0)));
    EXPECT_EQ(Eval(c, "0^0.5"), 0.0);
    EXPECT_EQ(ErrorOf(c, "(-8)^0.5"),
              "MathError: Raising number, that is less than zero into not integer power");
}

TEST(FormulaPowers, InvalidPowers) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, "0^0"), "MathError: Raising zero into power that is not greater than 0");
    EXPECT_EQ(ErrorOf(c, "0^-1"), "MathError: Raising zero into power that is not greater than 0");
    EXPECT_EQ(ErrorOf(c, "0^-0.5"),
              "MathError: Raising zero into power that is not greater than 0");
    // Integral exponents outside the 32-bit range cannot be counted out.
    EXPECT_EQ(ErrorOf(c, "2^2147483647"), "value");
    EXPECT_EQ(ErrorOf(c, "2^-2147483648"), "value");
    EXPECT_EQ(ErrorOf(c, "2^2147483648"), "MathError: power is out of range");
    EXPECT_EQ(ErrorOf(c, "2^-2147483649"), "MathError: power is out of range");
    EXPECT_EQ(ErrorOf(c, "2^1e300"), "MathError: power is out of range");
    EXPECT_EQ(ErrorOf(c, "2^1e400"), "MathError: power is out of range");
    EXPECT_EQ(ErrorOf(c, "0^1e400"), "MathError: power is out of range");
}

TEST(FormulaRemainder, TruncatedIntegerRemainder) {
    calc_var c;
    EXPECT_EQ(Eval(c, "7.9%2.5"), 1.0);
    EXPECT_EQ(Eval(c, "-7%3"), -1.0);
    EXPECT_EQ(Eval(c, "7%-3"), 1.0);
    EXPECT_EQ(Eval(c, "2147483647.9%1000"), 647.0);
    EXPECT_EQ(Eval(c, "-2147483648.9%10"), -8.0);
    // The one quotient that overflows 32 bits; its remainder is 0.
    EXPECT_EQ(Eval(c, "-2147483648%-1"), 0.0);
    EXPECT_EQ(ErrorOf(c, "5%0"), "divzero");
    EXPECT_EQ(ErrorOf(c, "5%0.5"), "divzero");
    EXPECT_EQ(ErrorOf(c, "5%-0.9"), "divzero");
}

TEST(FormulaRemainder, OperandsOutside32Bits) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, "2147483648%10"), "MathError: operand of % is out of range");
    EXPECT_EQ(ErrorOf(c, "-2147483649%10"), "MathError: operand of % is out of range");
    EXPECT_EQ(ErrorOf(c, "10%4294967296"), "MathError: operand of % is out of range");
    EXPECT_EQ(ErrorOf(c, "1e400%2"), "MathError: operand of % is out of range");
    c.set_variable('N', std::nan(""));
    EXPECT_EQ(ErrorOf(c, "N%2"), "MathError: operand of % is out of range");
    EXPECT_EQ(ErrorOf(c, "2%N"), "MathError: operand of % is out of range");
}

TEST(FormulaDivision, ZeroDivisorAndOverflow) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, "1/0"), "divzero");
    EXPECT_EQ(ErrorOf(c, "1/-0"), "divzero");
    EXPECT_EQ(ErrorOf(c, "1/(X-X)", 3), "divzero");
    EXPECT_EQ(Eval(c, "1/1e-320"), 1 / 1e-320);
    EXPECT_EQ(Eval(c, "1e300*1e300"), HUGE_VAL);
    EXPECT_EQ(Eval(c, "-1e300*1e300"), -HUGE_VAL);
}

TEST(FormulaFunctions, ValuesAndDomainErrors) {
    calc_var c;
    EXPECT_EQ(Eval(c, "abs(-2.5)"), 2.5);
    EXPECT_EQ(Eval(c, "sin(X)+cos(X)*2", 0.5), std::sin(0.5) + std::cos(0.5) * 2);
    EXPECT_EQ(Eval(c, "exp(ln(X))", 10), std::exp(std::log(10.0)));
    EXPECT_EQ(Eval(c, "tg(0)"), 0.0);
    EXPECT_EQ(Eval(c, "tg(X)", 0.5), std::sin(0.5) / std::cos(0.5));
    EXPECT_EQ(Eval(c, "ctg(X)", 0.5), std::cos(0.5) / std::sin(0.5));
    EXPECT_EQ(Eval(c, "asin(1)"), std::asin(1.0));
    EXPECT_EQ(Eval(c, "acos(-1)"), std::acos(-1.0));
    // The ends of the domain belong to it.
    EXPECT_EQ(Eval(c, "acos(1)"), 0.0);
    EXPECT_EQ(Eval(c, "asin(-1)"), std::asin(-1.0));
    EXPECT_EQ(Eval(c, "exp(1000)"), HUGE_VAL);

    // The ctg message starts with the Cyrillic es (U+0441), held as UTF-8 like every text.
    EXPECT_EQ(ErrorOf(c, "ctg(0)"), "MathError: can't calculate \xD1\x81tg");
    EXPECT_EQ(ErrorOf(c, "ctg(-0)"), "MathError: can't calculate \xD1\x81tg");
    EXPECT_EQ(ErrorOf(c, "ln(0)"), "MathError: argument of lg is <= zero");
    EXPECT_EQ(ErrorOf(c, "ln(-1)"), "MathError: argument of lg is <= zero");
    EXPECT_EQ(ErrorOf(c, "asin(1.5)"), "MathError: argument of asin is out of ranges");
    EXPECT_EQ(ErrorOf(c, "asin(-1.0000001)"), "MathError: argument of asin is out of ranges");
    EXPECT_EQ(ErrorOf(c, "acos(1.5)"), "MathError: argument of acos is out of ranges");
    EXPECT_EQ(ErrorOf(c, "acos(-2)"), "MathError: argument of acos is out of ranges");
    // The argument is evaluated before its domain is tested.
    EXPECT_EQ(ErrorOf(c, "ln(1/0)"), "divzero");
    EXPECT_EQ(ErrorOf(c, "asin(ln(0))"), "MathError: argument of lg is <= zero");
}
