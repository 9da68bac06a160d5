#include "image_bytes.h"
#include "params/parameter_compare.h"
#include "test_evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// A constant word at 0x6106 and a vector of 4 byte values at 0x6660 with byte arguments at
// 0x6670; the constant's formula fails for raw 0.
ParameterTables Tables() {
    ParameterTables t;
    ConstantRecord c;
    c.Mark = "K_IDLE";
    c.Address = 0x6106;
    c.Type = 3;
    c.InFormula = "100/X";
    c.Decimal = 1;
    t.constants.push_back(c);
    VectorRecord v;
    v.Mark = "V_WARM";
    v.AddressPar = 0x6660;
    v.TypePar = 2;
    v.AddressArg = 0x6670;
    v.TypeArg = 0;
    v.InFormula = "X/2";
    v.FormulaArg = "X";
    v.Count = 4;
    t.vectors.push_back(v);
    t.eval = TestEvaluator();
    return t;
}

TEST(ParameterCompare, ParameterBytesAreListedAsParametersNotAsOtherBytes) {
    FirmwareImage a;
    FirmwareImage b;
    a.ReplaceData(PatternBytes(5, 1).data());
    b.ReplaceData(a.Bytes());
    EXPECT_TRUE(CompareImages(a, b, false, Tables()).Empty());

    FlipBits(b, 0x6107, 0x01); // the constant's high byte
    FlipBits(b, 0x6662, 0x02); // value of point 2
    FlipBits(b, 0x6673, 0x01); // argument of point 3
    FlipBits(b, 0x6674, 0x01); // past the vector: other bytes
    const ImageDifferences d = CompareImages(a, b, false, Tables());
    ASSERT_EQ(d.constants.size(), 1u);
    EXPECT_EQ(d.constants[0].mark, "K_IDLE");
    EXPECT_DOUBLE_EQ(d.constants[0].b, std::round(1000.0 / b.ReadWord(0x6106)) / 10);
    ASSERT_EQ(d.vectors.size(), 2u);
    EXPECT_EQ(d.vectors[0].point, 2);
    EXPECT_DOUBLE_EQ(d.vectors[0].b, b.ReadByte(0x6662) / 2.0);
    EXPECT_EQ(d.vectors[1].point, 3);
    EXPECT_EQ(d.vectors[1].argB, b.ReadByte(0x6673));
    EXPECT_EQ(d.bytes, (std::vector<AddressRange>{{0x6674, 0x6674}}));

    // Taking the listed parameters from b leaves only the other bytes.
    FirmwareImage taken;
    taken.ReplaceData(a.Bytes());
    for (const ParameterDifference& p : d.constants)
        TakeParameter(taken, b, Tables(), p);
    for (const ParameterDifference& p : d.vectors)
        TakeParameter(taken, b, Tables(), p);
    const ImageDifferences left = CompareImages(taken, b, false, Tables());
    EXPECT_EQ(left.Count(), 1u);
    EXPECT_EQ(left.bytes, d.bytes);

    // A formula that fails on one side still lists the constant.
    a.WriteWord(0x6106, 0);
    EXPECT_TRUE(std::isnan(CompareImages(a, b, false, Tables()).constants.at(0).a));
}

} // namespace
