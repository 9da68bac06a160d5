#include "image/firmware_image.h"
#include "params/parameter_decode.h"
#include "test_evaluator.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

FormulaEvaluator Eval() {
    return TestEvaluator();
}

ConstantRecord Constant(const char* mark, int32_t address, int type, const char* in,
                        const char* out, int decimal) {
    ConstantRecord c;
    c.Mark = mark;
    c.Address = address;
    c.Type = type;
    c.InFormula = in;
    c.OutFormula = out;
    c.Decimal = decimal;
    return c;
}

TEST(ParameterDecode, ConstantsDecodeAndRound) {
    FirmwareImage image;
    image.WriteByte(0x6213, 141);
    EXPECT_DOUBLE_EQ(
        DecodeConstant(image, Constant("U_MIN", 0x6213, 2, "X*5/64", "X*64/5", 2), Eval()), 11.02);
    image.WriteByte(0x6212, 5);
    EXPECT_EQ(DecodeConstant(image, Constant("A", 0x6212, 2, "X/2", "X*2", 0), Eval()), 3.0);
    EXPECT_EQ(DecodeConstant(image, Constant("A", 0x6212, 2, "X/2", "X*2", 1), Eval()), 2.5);
    // A type that stores nothing evaluates its input formula at X = 0.
    EXPECT_EQ(DecodeConstant(image, Constant("N_CYL", 0x6580, 7, "X+4", "X-4", 0), Eval()), 4.0);
}

TEST(ParameterDecode, EncodingWritesOnlyAfterASuccessfulConversion) {
    FirmwareImage image;
    const ConstantRecord byte = Constant("B", 0x6108, 2, "X", "X", 0);
    EncodeConstant(image, byte, 255.4, Eval());
    EXPECT_EQ(image.ReadByte(0x6108), 0xFF);
    EncodeConstant(image, byte, -0.4, Eval());
    EXPECT_EQ(image.ReadByte(0x6108), 0x00);

    image.WriteByte(0x6108, 0x42);
    ConstantRecord broken = byte;
    broken.OutFormula = "X/0";
    EXPECT_THROW(EncodeConstant(image, broken, 10, Eval()), std::runtime_error);
    broken.OutFormula = "";
    try {
        EncodeConstant(image, broken, 10, Eval());
        FAIL() << "an empty output formula must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "B: No Expression");
    }
    EXPECT_EQ(image.ReadByte(0x6108), 0x42);

    // Min and Max do not limit an entry.
    ConstantRecord limited = byte;
    limited.Min = 0;
    limited.Max = 10;
    EncodeConstant(image, limited, 200, Eval());
    EXPECT_EQ(image.ReadByte(0x6108), 200);
}

TEST(ParameterDecode, SharedByteRoundTrip) {
    FirmwareImage image;
    image.WriteByte(0x6215, 0x95);
    const ConstantRecord kMaf = Constant("K_MAF", 0x6215, 0, "X", "X", 0);
    const ConstantRecord tPump = Constant("T_PUMP", 0x6215, 1, "X/2", "X*2", 1);
    EXPECT_EQ(DecodeConstant(image, kMaf, Eval()), 9.0);
    EXPECT_EQ(DecodeConstant(image, tPump, Eval()), 2.5);
    EncodeConstant(image, tPump, 1.5, Eval());
    EXPECT_EQ(image.ReadByte(0x6215), 0x93);
    EncodeConstant(image, kMaf, 12, Eval());
    EXPECT_EQ(image.ReadByte(0x6215), 0xC3);
}

TEST(ParameterDecode, WalkStopsAtAnEmptyFormulaAndSkipsFarRecords) {
    FirmwareImage image;
    image.WriteByte(0x6104, 85);
    image.WriteByte(0x6108, 141);
    std::vector<ConstantRecord> recs = {
        Constant("XX_RPM", 0x6104, 2, "X*10", "X/10", 0),
        Constant("FAR", 0x8000, 2, "X", "X", 0),
        Constant("T_FAN_ON", 0x6108, 2, "X-40", "X+40", 0),
        Constant("RESERV", 0x6581, 2, "", "X", 0),
        Constant("LATER", 0x6104, 2, "X", "X", 0),
    };
    std::vector<std::pair<std::size_t, double>> stored;
    const ConstantsWalk walk = DecodeConstants(
        image, recs, Eval(), [&](std::size_t i, double v) { stored.emplace_back(i, v); });
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], std::make_pair(std::size_t{0}, 850.0));
    EXPECT_EQ(stored[1], std::make_pair(std::size_t{2}, 101.0));
    ASSERT_EQ(walk.skipped.size(), 1u);
    EXPECT_EQ(walk.skipped[0].rfind("FAR: ", 0), 0u);
    EXPECT_EQ(walk.error, "RESERV: No Expression");
    EXPECT_EQ(walk.visited, 3u);
}

VectorRecord Vector(int32_t par, int typePar, int32_t arg, int typeArg, int count) {
    VectorRecord v;
    v.Mark = "VEC";
    v.Name = "vector";
    v.AddressPar = par;
    v.TypePar = typePar;
    v.AddressArg = arg;
    v.TypeArg = typeArg;
    v.Count = count;
    v.InFormula = "X";
    v.OutFormula = "X";
    v.FormulaArg = "X";
    return v;
}

TEST(ParameterDecode, InterleavedVectorsAndTheIndexRule) {
    FirmwareImage image;
    for (int i = 0; i < 32; ++i)
        image.WriteByte(static_cast<uint16_t>(0x6900 + i), static_cast<uint8_t>(100 + i));
    for (int i = 0; i < 16; ++i)
        image.WriteByte(static_cast<uint16_t>(0x6920 + i), 200);
    VectorRecord twat = Vector(0x6900, 0, 0x6920, 0, 16);
    twat.InFormula = "X-40";
    twat.OutFormula = "X+40";
    twat.FormulaArg = "X*5/64";
    twat.DecimalArg = 2;
    VectorRecord tair = twat;
    tair.TypePar = 1;
    tair.FormulaArg = "X*5/64 "; // one blank: evaluated from the stored bytes
    VectorPoints a, b;
    LoadVector(image, twat, Eval(), a);
    LoadVector(image, tair, Eval(), b);
    ASSERT_EQ(a.filled, 16);
    ASSERT_EQ(b.filled, 16);
    EXPECT_EQ(a.ParValues[2], 104 - 40);
    EXPECT_EQ(b.ParValues[2], 105 - 40);
    EXPECT_DOUBLE_EQ(a.ArgValues[1], 0.08);
    EXPECT_DOUBLE_EQ(a.ArgValues[2], 0.16);
    EXPECT_EQ(a.ArgValues[0], 0.0);
    EXPECT_DOUBLE_EQ(b.ArgValues[1], 15.63); // 200*5/64 = 15.625

    CommitVectorPoint(image, twat, 2, 0, Eval()); // raw 40 into the low byte only
    EXPECT_EQ(image.ReadByte(0x6904), 40);
    EXPECT_EQ(image.ReadByte(0x6905), 105);
}

TEST(ParameterDecode, VectorValuesAreNotRoundedAndErrorsStopThePoint) {
    FirmwareImage image;
    image.WriteByte(0x6A00, 49);
    image.WriteByte(0x6A01, 0);
    VectorRecord v = Vector(0x6A00, 2, 0x6A20, 1, 32);
    v.InFormula = "X/4";
    v.DecimalPar = 1;
    VectorPoints p;
    LoadVector(image, v, Eval(), p);
    EXPECT_EQ(p.filled, 32);
    EXPECT_EQ(p.ParValues[0], 12.25);

    image.WriteByte(0x6A02, 0);
    v.InFormula = "4/X"; // point 1 divides by zero
    LoadVector(image, v, Eval(), p);
    EXPECT_EQ(p.filled, 1);
    EXPECT_EQ(p.error, "VEC: Division by zero");

    v.Count = 300;
    LoadVector(image, v, Eval(), p);
    EXPECT_EQ(p.filled, 0);
    EXPECT_NE(p.error.find("300"), std::string::npos);
}

TEST(ParameterDecode, FullLengthVectorAndCommits) {
    FirmwareImage image;
    for (int i = 0; i < 256; ++i)
        image.WriteWord(static_cast<uint16_t>(0x7000 + 2 * i), static_cast<uint16_t>(i * 3));
    VectorRecord v = Vector(0x7000, 3, 0x7000, 1, 256);
    VectorPoints p;
    LoadVector(image, v, Eval(), p);
    ASSERT_EQ(p.filled, 256);
    EXPECT_EQ(p.ParValues[255], 765);
    EXPECT_EQ(p.ArgValues[255], 765);

    CommitVectorPoint(image, v, 255, 1000.4, Eval());
    EXPECT_EQ(image.ReadWord(0x71FE), 1000);
    EXPECT_THROW(CommitVectorPoint(image, v, 256, 1, Eval()), std::out_of_range);
    v.OutFormula = "";
    EXPECT_THROW(CommitVectorPoint(image, v, 0, 1, Eval()), std::runtime_error);
    EXPECT_EQ(image.ReadWord(0x7000), 0);
}

// A raw number the storage type cannot hold would keep only its low bits: 5000 rpm in a byte
// of tens would come back as 2440. Such a value is refused and nothing is written.
TEST(ParameterDecode, RawNumbersTheTypeCannotHoldAreRefused) {
    FirmwareImage image;
    image.WriteByte(0x6215, 0x95);
    image.WriteWord(0x6106, 3100);
    const struct {
        int type;
        int32_t address;
        double largest;
    } types[] = {{0, 0x6215, 15}, {1, 0x6215, 7}, {2, 0x6108, 255}, {3, 0x6106, 65535}};
    for (const auto& t : types) {
        const ConstantRecord c = Constant("C", t.address, t.type, "X", "X", 0);
        for (double refused : {t.largest + 1, -1.5}) { // -1.5 + 0.5 gives -1
            const uint16_t before = image.ReadWord(static_cast<uint16_t>(t.address));
            try {
                EncodeConstant(image, c, refused, Eval());
                ADD_FAILURE() << "type " << t.type << " took " << refused;
            } catch (const std::range_error& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Value out of range.", 0), 0u) << e.what();
            }
            EXPECT_EQ(image.ReadWord(static_cast<uint16_t>(t.address)), before) << t.type;
        }
        EncodeConstant(image, c, t.largest, Eval());
        EXPECT_EQ(ReadConstantRaw(image, t.address, t.type), t.largest) << t.type;
    }
    const ConstantRecord rpm = Constant("XX_RPM", 0x6104, 2, "X*10", "X/10", 0);
    try {
        EncodeConstant(image, rpm, 5000, Eval());
        ADD_FAILURE() << "5000 rpm stored in a byte of tens";
    } catch (const std::range_error& e) {
        // The range is said in rpm, as the user typed it, not in stored codes.
        EXPECT_NE(std::string(e.what()).find("XX_RPM: 5000 вне 0..2550"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(image.ReadByte(0x6104), 0);

    // A vector point's refusal names the point, counted from 1 as the window shows it, and the
    // range in the vector's units.
    VectorRecord temperatures = Vector(0x6A00, 2, 0x6A20, 0, 4);
    temperatures.InFormula = "X-40";
    temperatures.OutFormula = "X+40";
    temperatures.Unit = "°C";
    try {
        CommitVectorPoint(image, temperatures, 1, 300, Eval());
        ADD_FAILURE() << "300 °C stored in a byte from -40";
    } catch (const std::range_error& e) {
        EXPECT_NE(std::string(e.what()).find("VEC, точка 2: 300 вне -40..215 °C"),
                  std::string::npos)
            << e.what();
    }

    // Vector points: bytes hold 0..255, words 0..65535.
    for (int typePar : {0, 1, 2, 3}) {
        const VectorRecord v = Vector(0x6A00, typePar, 0x6A20, 0, 4);
        const double largest = typePar == 3 ? 65535 : 255;
        EXPECT_THROW(CommitVectorPoint(image, v, 1, largest + 1, Eval()), std::range_error);
        EXPECT_EQ(ReadVectorValueRaw(image, 0x6A00, typePar, 1), 0u) << typePar;
        CommitVectorPoint(image, v, 1, largest, Eval());
        EXPECT_EQ(ReadVectorValueRaw(image, 0x6A00, typePar, 1), largest) << typePar;
        image.WriteWord(0x6A02, 0);
        image.WriteByte(0x6A01, 0);
    }
}

} // namespace

// The database's Min and Max are inclusive, and a missing one leaves that side open.
TEST(ParameterDecode, DatabaseLimitsAreInclusiveAndMayBeOpen) {
    EXPECT_TRUE(WithinLimits(600, 600.0, 1500.0));
    EXPECT_TRUE(WithinLimits(1500, 600.0, 1500.0));
    EXPECT_FALSE(WithinLimits(599.9, 600.0, 1500.0));
    EXPECT_FALSE(WithinLimits(1500.1, 600.0, 1500.0));
    EXPECT_TRUE(WithinLimits(-1e9, std::nullopt, 1500.0));
    EXPECT_FALSE(WithinLimits(1501, std::nullopt, 1500.0));
    EXPECT_TRUE(WithinLimits(1e9, 600.0, std::nullopt));
    EXPECT_FALSE(WithinLimits(599, 600.0, std::nullopt));
}
