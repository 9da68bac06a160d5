#include "image/firmware_image.h"
#include "params/parameter_load.h"
#include "test_evaluator.h"

#include <gtest/gtest.h>

namespace {

const std::string Stopped = "Ошибка формулы, чтение остановлено: ";

ConstantRecord Constant(const char* mark, int32_t address, const char* in = "X") {
    ConstantRecord c;
    c.Mark = mark;
    c.Address = address;
    c.Type = 2; // one byte
    c.InFormula = in;
    c.OutFormula = "X";
    return c;
}

VectorRecord Vector(const char* mark, int count, const char* in = "X") {
    VectorRecord v;
    v.Mark = mark;
    v.AddressPar = 0x6900;
    v.AddressArg = 0x6920;
    v.Count = count;
    v.InFormula = in;
    v.OutFormula = "X";
    v.FormulaArg = "X";
    return v;
}

TEST(ParameterLoad, ConstantsWalkListsUnreadableAndStopsAtAFormulaError) {
    FirmwareImage image;
    image.WriteByte(0x6100, 7);
    image.WriteByte(0x6101, 9);
    // The first vector is shown before the constants are read: its error leads the list. After
    // a constant's formula fails no other vector is decoded, so V2 says nothing.
    const ParameterLoad load =
        LoadParameters(image,
                       {Constant("GOOD", 0x6100), Constant("FAR", 0x7FFF + 1),
                        Constant("BRK", 0x6101, ""), Constant("LATE", 0x6101)},
                       {Vector("V1", 4, ""), Vector("V2", 4, "")}, TestEvaluator());
    ASSERT_EQ(load.Results.size(), 4u);
    EXPECT_EQ(load.Results[0], 7.0);
    EXPECT_FALSE(load.Results[1]); // skipped: keeps what the store holds
    EXPECT_FALSE(load.Results[2]);
    EXPECT_FALSE(load.Results[3]); // the walk ended before it
    ASSERT_EQ(load.Problems.size(), 3u);
    EXPECT_EQ(load.Problems[0], Stopped + "V1: No Expression");
    EXPECT_EQ(load.Problems[1].rfind("Константы с неверным описанием не читаются и не "
                                     "записываются:\nFAR: ",
                                     0),
              0u)
        << load.Problems[1];
    EXPECT_EQ(load.Problems[2], Stopped + "BRK: No Expression");
}

TEST(ParameterLoad, VectorErrorsComeOnceAndEndTheListingOfUnusableVectors) {
    FirmwareImage image;
    // The walk over the vectors meets the error of the first one again and does not repeat it;
    // the unusable vector after it is not reached.
    ParameterLoad load = LoadParameters(image, {Constant("C", 0x6100)},
                                        {Vector("V1", 4, ""), Vector("U1", 300)}, TestEvaluator());
    EXPECT_EQ(load.Problems, std::vector<std::string>{Stopped + "V1: No Expression"});

    load = LoadParameters(image, {Constant("C", 0x6100)},
                          {Vector("U1", 0), Vector("V1", 4), Vector("V2", 4, ""), Vector("U2", 300),
                           Vector("V3", 4, "")},
                          TestEvaluator());
    EXPECT_EQ(load.Problems,
              (std::vector<std::string>{Stopped + "V2: No Expression",
                                        "Вектора не показываются:\nU1: число точек 0 вне "
                                        "диапазона 1..256"}));
    EXPECT_EQ(load.Results, (std::vector<std::optional<double>>{0.0}));
}

} // namespace
