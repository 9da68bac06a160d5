#include "image/firmware_image.h"
#include "params/parameter_load.h"
#include "test_evaluator.h"

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
