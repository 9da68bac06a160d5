// Precedence, associativity, implicit multiplication, unary signs, missing operands and the
// statement driver: the quirks existing parameter databases are written against.
#include "formula_test_util.h"

#include <gtest/gtest.h>

TEST(FormulaGrammar, ProductOperatorsShareOnePrecedenceLeftToRight) {
    calc_var c;
    EXPECT_EQ(Eval(c, "2*3^2"), 36.0);
    EXPECT_EQ(Eval(c, "2^3^2"), 64.0);
    EXPECT_EQ(Eval(c, "8/2/2"), 2.0);
    EXPECT_EQ(Eval(c, "17%5*2"), 4.0);
    EXPECT_EQ(Eval(c, "2*17%5"), 4.0);
    EXPECT_EQ(Eval(c, "10-2-3"), 5.0);
    EXPECT_EQ(Eval(c, "1+2*3"), 7.0);
    EXPECT_EQ(Eval(c, "2^(1+1)*3"), 12.0);
}

TEST(FormulaGrammar, ImplicitMultiplicationBeforeParenthesis) {
    calc_var c;
    EXPECT_EQ(Eval(c, "2(3+4)"), 14.0);
    EXPECT_EQ(Eval(c, "(1+2)(3+4)"), 21.0);
    EXPECT_EQ(Eval(c, "2 (3)"), 6.0);
    EXPECT_EQ(Eval(c, "X(2)(3)", 5), 30.0);
    EXPECT_EQ(Eval(c, "pi(2)"), 2 * 3.1415926535);
    // The implied product shares the precedence of the others: 2^3 (2) is (2^3)*2.
    EXPECT_EQ(Eval(c, "2^3(2)"), 16.0);
    // A function's argument is one factor, the implied product follows it.
    EXPECT_EQ(Eval(c, "abs(-2)(3)"), 6.0);
}

TEST(FormulaGrammar, UnarySignsBindTightest) {
    calc_var c;
    EXPECT_EQ(Eval(c, "-2^2"), 4.0);
    EXPECT_EQ(Eval(c, "2^-2"), 0.25);
    EXPECT_EQ(Eval(c, "--3"), 3.0);
    EXPECT_EQ(Eval(c, "+-+3"), -3.0);
    EXPECT_EQ(Eval(c, "2*-3"), -6.0);
    EXPECT_EQ(Eval(c, "-X*2", 4), -8.0);
    // A function takes one factor: sin X*2 is sin(X)*2, sin(X)^2 the square of the sine.
    EXPECT_EQ(Eval(c, "sin X*2", 1), std::sin(1.0) * 2);
    EXPECT_EQ(Eval(c, "sin(X)^2", 1), std::sin(1.0) * std::sin(1.0));
    EXPECT_EQ(Eval(c, "-abs-3"), -3.0);
}

TEST(FormulaGrammar, MissingOperandCountsAsZero) {
    calc_var c;
    EXPECT_EQ(Eval(c, "2+"), 2.0);
    EXPECT_EQ(Eval(c, "X*", 5), 0.0);
    EXPECT_EQ(Eval(c, "-"), -0.0);
    EXPECT_EQ(Eval(c, "sin"), 0.0);
    EXPECT_EQ(ErrorOf(c, "2/"), "divzero");
}

TEST(FormulaGrammar, SyntaxErrors) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, ""), "SyntaxError: No Expression");
    EXPECT_EQ(ErrorOf(c, nullptr), "SyntaxError: No Expression");
    EXPECT_EQ(ErrorOf(c, "(1+2"), "SyntaxError: ) expected");
    EXPECT_EQ(ErrorOf(c, "(1+2;3)"), "SyntaxError: ) expected");
    EXPECT_EQ(ErrorOf(c, "*2"), "SyntaxError: Incorrect operator");
    EXPECT_EQ(ErrorOf(c, "()"), "SyntaxError: Incorrect operator");
    EXPECT_EQ(ErrorOf(c, "2*/3"), "SyntaxError: Incorrect operator");
    EXPECT_EQ(ErrorOf(c, "2^)"), "SyntaxError: Incorrect operator");
    EXPECT_EQ(ErrorOf(c, "foo(1/0)"), "SyntaxError: Incorrect function");
}

TEST(FormulaGrammar, StatementsAndStrayTokens) {
    calc_var c;
    // A token that cannot continue an expression is consumed and the next statement starts
    // after it; the result is the last statement's value.
    EXPECT_EQ(Eval(c, "2 3"), 0.0);
    EXPECT_EQ(Eval(c, "2 3+4"), 4.0);
    EXPECT_EQ(Eval(c, "1)+5"), 5.0);
    EXPECT_EQ(Eval(c, "X*2;", 3), 0.0);
    EXPECT_EQ(Eval(c, "1;2;3"), 3.0);
    EXPECT_EQ(Eval(c, ";;;7"), 7.0);
    EXPECT_EQ(Eval(c, "7;,1"), 0.0);
    // An error in an earlier statement stops the whole text.
    EXPECT_EQ(ErrorOf(c, "1/0;5"), "divzero");
}
