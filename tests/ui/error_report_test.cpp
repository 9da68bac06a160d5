// The program's error report shows the evaluator's errors with their own texts, the Cyrillic
// letter of the ctg message included.
#include "formula/calc.h"
#include "ui/error_report.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

QString Shown(const std::function<void()>& command) {
    QString shown = "nothing";
    const auto saved = ShowErrorMessage;
    ShowErrorMessage = [&](QWidget*, const QString& text) { shown = text; };
    const bool ok = RunGuarded(nullptr, command);
    ShowErrorMessage = saved;
    return ok ? "ok" : shown;
}

} // namespace

TEST(FormulaErrorBox, ShowsEvaluatorErrors) {
    EXPECT_EQ(Shown([] { evaluate_formula("ctg(0)", 0); }),
              QString("MathError: can't calculate ") + QChar(0x0441) + "tg");
    EXPECT_EQ(Shown([] { evaluate_formula("(1", 0); }), "SyntaxError: ) expected");
    EXPECT_EQ(Shown([] { evaluate_formula("X/0", 1); }), "divzero");
    EXPECT_EQ(Shown([] { evaluate_formula("X", 1); }), "ok");
    // Other errors keep their own texts.
    EXPECT_EQ(Shown([] { throw std::runtime_error("Can't open file."); }), "Can't open file.");
    EXPECT_EQ(Shown([] { throw 42; }), "Unknown error.");
}
