#include "image/firmware_image.h"
#include "params/parameter_load.h"
#include "params/text_field_check.h"
#include "test_evaluator.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using Problems = std::vector<std::string>;
const std::string Stopped = "Ошибка формулы, чтение остановлено: ";
const std::string NoPoints = "Вектора не показываются:\nU: число точек 0 вне диапазона 1..256";

ConstantRecord Constant(const char* mark, int32_t address, const char* in = "X") {
    ConstantRecord c;
    c.Mark = mark;
    c.Address = address;
    c.Type = 2; // one byte
    c.InFormula = in;
    return c;
}

VectorRecord Vector(const char* mark, int count, const char* in = "X") {
    VectorRecord v;
    v.Mark = mark;
    v.AddressPar = 0x6900;
    v.AddressArg = 0x6920;
    v.Count = count;
    v.InFormula = in;
    v.FormulaArg = "X";
    return v;
}

TEST(ParameterLoad, ConstantsWalkSkipsUnreadableAndStopsAtAFormulaError) {
    FirmwareImage image;
    image.WriteByte(0x6100, 7);
    // The first vector is shown before the constants are read, so its error leads; after a
    // constant's formula failed no other vector is decoded (V2 says nothing).
    const ParameterLoad load =
        LoadParameters(image,
                       {Constant("A", 0x6100), Constant("FAR", 0x8000), Constant("BRK", 0x6100, ""),
                        Constant("LATE", 0x6100)},
                       {Vector("V1", 4, ""), Vector("V2", 4, "")}, TestEvaluator());
    EXPECT_EQ(load.Results, (std::vector<std::optional<double>>{7.0, {}, {}, {}}));
    ASSERT_EQ(load.Problems.size(), 3u);
    EXPECT_EQ(load.Problems[0], Stopped + "V1: No Expression");
    EXPECT_NE(load.Problems[1].find("не записываются:\nFAR: "), std::string::npos);
    EXPECT_EQ(load.Problems[2], Stopped + "BRK: No Expression");
}

TEST(ParameterLoad, VectorErrorsComeOnceAndEndTheListingOfUnusableVectors) {
    FirmwareImage image;
    const std::vector<ConstantRecord> constants{Constant("A", 0x6100)};
    // Meeting the first vector's error again, the walk does not repeat it.
    EXPECT_EQ(
        LoadParameters(image, constants, {Vector("V1", 4, ""), Vector("U", 0)}, TestEvaluator())
            .Problems,
        Problems{Stopped + "V1: No Expression"});
    EXPECT_EQ(LoadParameters(image, constants,
                             {Vector("U", 0), Vector("V1", 4), Vector("V2", 4, ""), Vector("U2", 0),
                              Vector("V3", 4, "")},
                             TestEvaluator())
                  .Problems,
              (Problems{Stopped + "V2: No Expression", NoPoints}));
}

} // namespace

// A text field can only be what a parameter database holds: code page 1251 within its column's
// size, marks as identifiers, formulas in ASCII. Anything else is damage.
TEST(TextFieldCheck, TakesWhatTheDatabaseCanHoldOnly) {
    EXPECT_FALSE(TextFieldProblem("Name", "Уставка оборотов «ХХ», ±5 °C — № 2", 128).has_value());
    EXPECT_FALSE(TextFieldProblem("Unit", "об/мин", 16).has_value());
    EXPECT_FALSE(TextFieldProblem("Mark", "XX_RPM2", 16).has_value());
    EXPECT_FALSE(TextFieldProblem("InFormula", "X*10/(2+3)", 50).has_value());
    EXPECT_FALSE(TextFieldProblem("Name", "", 128).has_value());

    EXPECT_EQ(TextFieldProblem("Name", "Уставка\xe4\xb8\x80", 128),
              "знаки вне кодовой страницы 1251");
    EXPECT_EQ(TextFieldProblem("Unit", "об\x01мин", 16), "управляющий знак");
    EXPECT_EQ(TextFieldProblem("Unit", "\xd0", 16), "не текст");  // a cut two-byte character
    EXPECT_EQ(TextFieldProblem("Unit", "\xd0" "A", 16), "не текст"); // a lead byte without its tail
    EXPECT_EQ(TextFieldProblem("Unit", "A\x80", 16), "не текст"); // a tail without its lead
    EXPECT_EQ(TextFieldProblem("Unit", "оборотов в мин", 8), "длиннее 8 знаков");
    EXPECT_EQ(TextFieldProblem("Mark", "XX RPM", 16),
              "обозначение не из латинских букв, цифр и «_»");
    EXPECT_EQ(TextFieldProblem("MarkArg", "ХХ", 16),
              "обозначение не из латинских букв, цифр и «_»");
    EXPECT_EQ(TextFieldProblem("OutFormula", "X·2", 50), "формула не из знаков ASCII");

    // Limits and results: what damage to a double's bytes makes, never what a calibration holds.
    for (double fine : {0.0, -40.0, 6200.0, 0.004, 1e9})
        EXPECT_FALSE(NumberFieldProblem(fine).has_value()) << fine;
    for (double damaged : {1.99367e-305, 4.45015e-308, 3e14, -HUGE_VAL})
        EXPECT_EQ(NumberFieldProblem(damaged), "неправдоподобное число") << damaged;
}
