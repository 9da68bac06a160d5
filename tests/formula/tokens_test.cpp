// Tokens and blanks: what the tokenizer skips, takes, and where it quietly stops.
#include "formula_test_util.h"

#include <gtest/gtest.h>

TEST(FormulaTokens, BlanksLineBreaksAndTrailingText) {
    calc_var c;
    EXPECT_EQ(Eval(c, "X*5/64", 64), 5.0);
    EXPECT_EQ(Eval(c, "X*5/64 ", 64), 5.0);
    EXPECT_EQ(Eval(c, "X*5/64\r\n", 64), 5.0);
    EXPECT_EQ(Eval(c, " X \r\n* 5\n/\r64", 64), 5.0);
    // Texts of blanks only are not empty: the missing operand counts as 0.
    EXPECT_EQ(Eval(c, "  \r\n"), 0.0);
}

TEST(FormulaTokens, CharactersThatStartNoTokenEndTheText) {
    calc_var c;
    EXPECT_EQ(Eval(c, "1,5"), 1.0);
    EXPECT_EQ(Eval(c, "2\t+3"), 2.0); // a tab is not a blank
    EXPECT_EQ(Eval(c, "2+3#1/0"), 5.0);
    EXPECT_EQ(Eval(c, "4*2\xD1\x81+1"), 8.0); // non-ASCII bytes, also negative chars
    EXPECT_EQ(Eval(c, "7=1"), 7.0);
    // A leading stop character gives an empty statement, not an error.
    EXPECT_EQ(Eval(c, ",1"), 0.0);
}

TEST(FormulaTokens, Numbers) {
    calc_var c;
    EXPECT_EQ(Eval(c, "1.5e2"), 150.0);
    EXPECT_EQ(Eval(c, "1.5E+2"), 150.0);
    EXPECT_EQ(Eval(c, "25e-1"), 2.5);
    EXPECT_EQ(Eval(c, "3."), 3.0);
    // All points are taken into the token, the conversion stops at the second one.
    EXPECT_EQ(Eval(c, "1.2.3"), 1.2);
    EXPECT_EQ(Eval(c, "1.2.3*2"), 2.4);
    // An exponent letter without digits belongs to the number and adds nothing.
    EXPECT_EQ(Eval(c, "4e"), 4.0);
    EXPECT_EQ(Eval(c, "4e+*2"), 8.0);
    EXPECT_EQ(Eval(c, "1e400"), HUGE_VAL);
    EXPECT_EQ(Eval(c, "1e-400"), 0.0);
    // A number cannot start with a point: "." starts no token.
    EXPECT_EQ(Eval(c, ".5"), 0.0);
}

TEST(FormulaTokens, NamesAreCaseSensitive) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, "x*2", 3), "SyntaxError: Incorrect function");
    EXPECT_EQ(ErrorOf(c, "sqrt(4)"), "SyntaxError: Incorrect function");
    EXPECT_EQ(ErrorOf(c, "Pi"), "value"); // P, then the unknown name "i" is never evaluated
    EXPECT_EQ(ErrorOf(c, "SIN(0)"), "value");
    // An upper-case run is one variable named by its first letter.
    EXPECT_EQ(Eval(c, "XY", 7), 7.0);
    EXPECT_EQ(Eval(c, "PI"), 0.0);
    EXPECT_EQ(Eval(c, "pi"), 3.1415926535);
    // "pi" after a number is consumed as the stray token ending the first statement.
    EXPECT_EQ(Eval(c, "2pi"), 0.0);
}
