#include "image/codepage.h"
#include "image/firmware_image.h"
#include "image/image_json.h"
#include "image/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(Json, DoublesReadBackExactly) {
    const double values[] = {0.96,
                             0.1 + 0.2,
                             1.0 / 3.0,
                             -33.802816901408448,
                             1e-300,
                             6375.0,
                             -0.0,
                             5e-324,
                             std::numeric_limits<double>::max()};
    for (double v : values) {
        const std::string text = JsonWriter::FormatDouble(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
        EXPECT_EQ(text.find(','), std::string::npos) << text;
    }
    EXPECT_EQ(JsonWriter::FormatDouble(16.0), "16");
    EXPECT_EQ(JsonWriter::FormatDouble(0.5), "0.5");
    EXPECT_EQ(JsonWriter::FormatDouble(-0.0), "0"); // no "-0" in the output
}

TEST(Json, NonFiniteNumbersAreStrings) {
    EXPECT_EQ(JsonWriter::FormatDouble(std::numeric_limits<double>::infinity()), "\"inf\"");
    EXPECT_EQ(JsonWriter::FormatDouble(-std::numeric_limits<double>::infinity()), "\"-inf\"");
    EXPECT_EQ(JsonWriter::FormatDouble(std::nan("")), "\"nan\"");
}

TEST(Json, StructureAndEscaping) {
    JsonWriter w;
    w.BeginObject();
    w.Key("a");
    w.BeginArray();
    w.Integer(-3);
    w.BeginArray();
    w.EndArray();
    w.Bool(true);
    w.EndArray();
    w.Key("s");
    w.String("q\"b\\\n\x01Ё");
    w.Key("o");
    w.BeginObject();
    w.Key("x");
    w.Number(1.5);
    w.Key("y");
    w.Integer(2);
    w.EndObject();
    w.EndObject();
    EXPECT_EQ(w.Text(), "{\n  \"a\":[-3,[],true],\n  \"s\":\"q\\\"b\\\\\\n\\u0001Ё\",\n"
                        "  \"o\":{\"x\":1.5,\"y\":2}\n}");
}

TEST(Json, DecodedImageHasEveryMemberInOrder) {
    FirmwareImage img;
    img.WriteByte(0x7050, 75); // Tau = InjectorOffset with load 0: Lambda is 0/0
    const std::string name = Utf8ToCp1251("Седан");
    for (size_t i = 0; i < name.size(); ++i)
        img.WriteByte(static_cast<uint16_t>(0x60A0 + i),
                      static_cast<uint8_t>(Cp1251ToCp866(name)[i]));
    const std::string json = DecodedImageJson(img);
    const char* keys[] = {"TauBase",         "Nuz",        "PRaw",       "P",
                          "PmaxRaw",         "Pmax",       "DrmaxRaw",   "Drmax",
                          "PmaxCol",         "DrmaxSeg",   "Uoz",        "Tau",
                          "Lambda",          "CoefCorUoz", "CoefCorTau", "CorUoz",
                          "CorTau",          "Rcod",       "FullLoad",   "DrmaxCoefCorTau",
                          "DrmaxCoefCorUoz", "ident"};
    size_t pos = 0;
    for (const char* key : keys) {
        const size_t at = json.find("\n  \"" + std::string(key) + "\":", pos);
        ASSERT_NE(at, std::string::npos) << key;
        pos = at + 1;
    }
    EXPECT_NE(json.find("\"Lambda\":[[\"nan\","), std::string::npos);
    EXPECT_NE(json.find("\"CarBody\":\"Седан\""), std::string::npos);
    EXPECT_NE(json.find("\"FullLoad\":[{\"Pos\":"), std::string::npos);
    // 39 rows of 22 values in the main maps, 10 rows of 11 in Rcod.
    const size_t uoz = json.find("\"Uoz\":");
    const std::string uozText = json.substr(uoz, json.find('\n', uoz) - uoz);
    EXPECT_EQ(std::count(uozText.begin(), uozText.end(), '['), 40);
    EXPECT_EQ(std::count(uozText.begin(), uozText.end(), ','),
              38 + 39 * 21 + 1); // + the comma after the table
    const size_t rcod = json.find("\"Rcod\":");
    const std::string rcodText = json.substr(rcod, json.find('\n', rcod) - rcod);
    EXPECT_EQ(std::count(rcodText.begin(), rcodText.end(), ','), 9 + 10 * 10 + 1);
    EXPECT_EQ(json.back(), '\n');
}

} // namespace
