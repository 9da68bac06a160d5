// velmaris-cli db convert and velmaris-cli params as a user runs them.
#include "cli_run.h"
#include "fixture_image.h"
#include "image/firmware_image.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string Fixture = VELMARIS_FIXTURES_DIR "/database-jet4.mdb";

CliRun Cli(const std::vector<std::string>& args) {
    return RunCli(args);
}

class CliParams : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        imagePath = dir.filePath("image.bin").toStdString();
        FirmwareImage image;
        FillFixtureImage(image);
        image.SaveBin(imagePath);
    }
    QTemporaryDir dir;
    std::string imagePath;
};

TEST_F(CliParams, ConvertedDatabaseDecodesLikeTheJetFile) {
    const std::string out = dir.filePath("copy.sqlite").toStdString();
    const CliRun convert = Cli({"db", "convert", Fixture, out});
    EXPECT_EQ(convert.status, 0);
    EXPECT_NE(convert.out.find("13 constants, 5 vectors, 10 addresses"), std::string::npos);

    const CliRun jet = Cli({"params", imagePath, "--db", Fixture});
    const CliRun sqlite = Cli({"params", imagePath, "--db", out});
    EXPECT_EQ(jet.status, 1); // RESERV has no input formula
    EXPECT_EQ(sqlite.status, 1);
    EXPECT_EQ(jet.out, sqlite.out);
    EXPECT_NE(jet.out.find("U_MIN\tМинимальное напряжение бортсети\t11.02\tВ\n"),
              std::string::npos);
    EXPECT_NE(jet.out.find("RESERV\tРезервный параметр\t-\t-\n"), std::string::npos);
    EXPECT_NE(jet.out.find("TWAT_ADC\tХарактеристика датчика температуры ОЖ\t°C\t16 points\n"
                           "  1\t0.00\t200\n  2\t0.08\t188\n"),
              std::string::npos)
        << jet.out;
}

TEST_F(CliParams, JsonListsEveryConstantAndPoint) {
    const CliRun run = Cli({"params", imagePath, "--db", Fixture, "--json"});
    EXPECT_EQ(run.status, 1);
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    const QJsonArray constants = root["constants"].toArray();
    ASSERT_EQ(constants.size(), 13);
    EXPECT_EQ(constants[5].toObject()["result"].toDouble(), 0.98);
    EXPECT_EQ(constants[12].toObject()["decoded"].toBool(), false);
    const QJsonArray vectors = root["vectors"].toArray();
    ASSERT_EQ(vectors.size(), 5);
    const QJsonArray points = vectors[1].toObject()["points"].toArray();
    ASSERT_EQ(points.size(), 8);
    EXPECT_DOUBLE_EQ(points[1].toObject()["value"].toDouble(), 370 * 0.004);
    EXPECT_DOUBLE_EQ(points[1].toObject()["arg"].toDouble(), 10.0);
    ASSERT_EQ(root["problems"].toArray().size(), 1);
    EXPECT_EQ(root["problems"].toArray()[0].toString().toStdString(),
              "RESERV: SyntaxError: No Expression");
}

TEST_F(CliParams, BadArgumentsAndMissingFiles) {
    EXPECT_EQ(Cli({"params"}).status, 2);
    EXPECT_EQ(Cli({"params", imagePath, "--db"}).status, 2);
    EXPECT_EQ(Cli({"params", imagePath, "--db", dir.filePath("none.mdb").toStdString()}).status, 2);
    EXPECT_EQ(Cli({"params", dir.filePath("none.bin").toStdString(), "--db", Fixture}).status, 2);
    // A cut binary image would decode as zeros behind the cut: refused as incomplete, as by
    // every command that loads an image.
    QFile cut(dir.filePath("cut.bin"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(100, '\x11'));
    cut.close();
    EXPECT_EQ(Cli({"params", cut.fileName().toStdString(), "--db", Fixture}).status, 3);
    EXPECT_EQ(Cli({"db", "convert", Fixture}).status, 2);
    EXPECT_EQ(Cli({"db", "convert", dir.filePath("none.mdb").toStdString(),
                   dir.filePath("out.sqlite").toStdString()})
                  .status,
              2);
    EXPECT_FALSE(QFile::exists(dir.filePath("out.sqlite")));
}

} // namespace
