// velmaris-cli eval as a user runs it: output lines, exit status and argument checks.
#include "cli_run.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

CliRun Eval(std::vector<std::string> args) {
    args.insert(args.begin(), "eval");
    return RunCli(args);
}

} // namespace

TEST(CliEval, FormulasShareOneEvaluator) {
    const CliRun r = Eval({"-x", "64", "X*5/64", "A=X*2", "A+1", "2 3"});
    EXPECT_EQ(r.out, "5\n128\n129\n0\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Eval({"X"}).out, "0\n"); // X defaults to 0
    EXPECT_EQ(Eval({"-x", "-2.5e1", "X"}).out, "-25\n");
    EXPECT_EQ(Eval({"--", "-x"}).out, "SyntaxError: Incorrect function\n");
}

TEST(CliEval, SeventeenSignificantDigits) {
    const CliRun r = Eval({"1/3", "pi", "1e300*1e300", "-1e300*1e300", "-0", "0.5^1074"});
    EXPECT_EQ(r.out, "0.33333333333333331\n3.1415926535000001\nINF\n-INF\n0\n"
                     "4.9406564584124654e-324\n");
    EXPECT_EQ(r.status, 0);
    // A negative zero shows as 0, however it comes about.
    EXPECT_EQ(Eval({"-x", "0", "--", "-X", "-0*5", "0/-3"}).out, "0\n0\n0\n");
}

TEST(CliEval, ErrorsAreLinesAndExitStatusOne) {
    const CliRun r = Eval({"1/0", "(1", "ln(0)", "ctg(0)", "7", "2^3000000000", "5e9%2"});
    EXPECT_EQ(r.out, "divzero\n"
                     "SyntaxError: ) expected\n"
                     "MathError: argument of lg is <= zero\n"
                     "MathError: can't calculate \xD1\x81tg\n"
                     "7\n"
                     "MathError: power is out of range\n"
                     "MathError: operand of % is out of range\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Eval({""}).out, "SyntaxError: No Expression\n");
}

TEST(CliEval, BadArgumentsExitTwoWithoutEvaluating) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"-x"},
             {"-x", "5"},
             {"-x", "1,5", "X"},
             {"-x", "", "X"},
             {"-x", " 1", "X"},
             {"-x", "1 ", "X"},
             {"-x", "12abc", "X"},
             {"-x", "1e999", "X"},
             {"-x", "X", "1"},
         }) {
        const CliRun r = Eval(args);
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << testing::PrintToString(args);
    }
}
