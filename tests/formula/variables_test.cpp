// Variables, assignments, their life across evaluations, the shared evaluator, the 255-character
// text and the plain base parser.
#include "formula_test_util.h"

#include <gtest/gtest.h>
#include <string>

TEST(FormulaVariables, AssignmentsAndStatements) {
    calc_var c;
    EXPECT_EQ(Eval(c, "A=3;A*X", 2), 6.0);
    EXPECT_EQ(Eval(c, "A"), 3.0);
    EXPECT_EQ(Eval(c, "A=X*2;A+1", 5), 11.0);
    EXPECT_EQ(c.variable('A'), 10.0);
    // Only "=" right after the name assigns: "A = 3" reads A and stops at the "=".
    EXPECT_EQ(Eval(c, "A = 3"), 10.0);
    EXPECT_EQ(c.variable('A'), 10.0);
    // The value of an assignment is the assigned value; chains assign right to left.
    EXPECT_EQ(Eval(c, "B=C=4"), 4.0);
    EXPECT_EQ(c.variable('B'), 4.0);
    EXPECT_EQ(c.variable('C'), 4.0);
    // "BC=1" assigns B (the first letter of the run).
    EXPECT_EQ(Eval(c, "BC=1;C"), 4.0);
    EXPECT_EQ(c.variable('B'), 1.0);
    // After an assignment the token that ended it is skipped, unless it is ";" or the end.
    EXPECT_EQ(Eval(c, "D=2)*3"), 6.0);
    EXPECT_EQ(Eval(c, "D=2(3)"), 6.0);
    // X itself may be assigned; evaluate_formula sets it again before every formula.
    EXPECT_EQ(Eval(c, "X=1;X", 9), 1.0);
}

TEST(FormulaVariables, ErrorsKeepEarlierAssignments) {
    calc_var c;
    EXPECT_EQ(ErrorOf(c, "E=5;E/0"), "divzero");
    EXPECT_EQ(c.variable('E'), 5.0);
    EXPECT_EQ(ErrorOf(c, "F=(2"), "SyntaxError: ) expected");
    EXPECT_EQ(c.variable('F'), 0.0);
}

TEST(FormulaVariables, NewEvaluatorStartsAtZero) {
    calc_var c;
    for (char v = 'A'; v <= 'Z'; ++v)
        EXPECT_EQ(c.variable(v), 0.0) << v;
    EXPECT_EQ(Eval(c, "Q+Z+1"), 1.0);
}

TEST(FormulaVariables, SharedEvaluatorKeepsVariablesBetweenFormulas) {
    EXPECT_EQ(evaluate_formula("K=X+1", 41), 42.0);
    EXPECT_EQ(evaluate_formula("K*2", 0), 84.0);
    EXPECT_EQ(shared_calc().variable('K'), 42.0);
    EXPECT_EQ(evaluate_formula("X*5/64", 64), 5.0);
    EXPECT_EQ(shared_calc().variable('X'), 64.0);
    // An error leaves the evaluator usable; the next formula starts fresh.
    EXPECT_THROW(evaluate_formula("(", 0), calc::SyntaxError);
    EXPECT_EQ(evaluate_formula("X+K", 1), 43.0);
    shared_calc().set_variable('K', 0);
}

TEST(FormulaText, CutAt255Characters) {
    calc_var c;
    // 254 characters of "1+...+1" then "+5": the "5" is character 256 and is cut off,
    // leaving "...+1+" whose missing operand counts as 0.
    std::string text = "1";
    while (text.size() < 255)
        text += "+1";
    ASSERT_EQ(text.size(), 255u);
    EXPECT_EQ(Eval(c, text.c_str()), 128.0);
    EXPECT_EQ(Eval(c, (text + "0000").c_str()), 128.0);
    std::string cut = text.substr(0, 254) + "+5";
    EXPECT_EQ(Eval(c, cut.c_str()), 127.0);
    // A long formula does not run past the field: blanks up to the cut, then text.
    EXPECT_EQ(Eval(c, (std::string(255, ' ') + "1/0").c_str()), 0.0);
    EXPECT_EQ(Eval(c, (std::string(254, ' ') + "7;1/0").c_str()), 7.0);
}

// The base parser on its own: blanks are spaces only, no exponent, no variables, no pi, and a
// missing operand is an error.
class BaseParser : public calc {
public:
    double Run(const char* text) {
        set_expression(text);
        return expression();
    }
    std::string ErrorOf(const char* text) {
        try {
            Run(text);
            return "value";
        } catch (...) {
            return DescribeCalcError(std::current_exception()).value_or("foreign exception");
        }
    }
};

TEST(FormulaBaseParser, DiffersFromTheVariableParser) {
    BaseParser p;
    EXPECT_EQ(p.Run("2*3^2"), 36.0);
    EXPECT_EQ(p.Run("2(3+4)"), 14.0);
    EXPECT_EQ(p.Run("1\n+2"), 1.0);
    EXPECT_EQ(p.Run("1.5e2"), 1.5);
    EXPECT_EQ(p.Run("sin(0)+1"), 1.0);
    EXPECT_EQ(p.ErrorOf("pi"), "SyntaxError: Incorrect function");
    EXPECT_EQ(p.ErrorOf("2+"), "SyntaxError: No Expression");
    EXPECT_EQ(p.ErrorOf(""), "SyntaxError: No Expression");
    EXPECT_EQ(p.ErrorOf("A"), "SyntaxError: No Expression");
    EXPECT_EQ(p.ErrorOf(";"), "SyntaxError: No Expression");
    EXPECT_EQ(p.ErrorOf("(1"), "SyntaxError: ) expected");
    EXPECT_EQ(p.ErrorOf("1/0"), "divzero");
}

TEST(FormulaBaseParser, VirtualSlotsServeTheWholeParser) {
    // expression and term of the base reach the derived factor and next_token.
    calc_var c;
    calc& base = c;
    c.set_expression("A=2;A*3");
    EXPECT_EQ(base.expression(), 2.0);
}
