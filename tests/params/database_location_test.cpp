// Where the parameter database is looked for.
#include "params/database_location.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class DatabaseLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        root =
            fs::temp_directory_path() /
            ("velmaris-dbloc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(root / "work");
        fs::create_directories(root / "images");
        fs::create_directories(root / "mine");
    }
    void TearDown() override { fs::remove_all(root); }
    std::string Touch(const fs::path& path) {
        std::ofstream(path) << "x";
        return path.string();
    }
    std::string P(const char* relative) { return (root / relative).string(); }
    fs::path root;
};

TEST_F(DatabaseLocationTest, ChosenThenWorkingFolderThenBesideImage) {
    const std::string image = P("images/a.hex");
    // Nothing anywhere: the working folder's file is named, so the window says it is missing.
    DatabaseLocation found = LocateParameterDatabase("", P("work"), image);
    EXPECT_EQ(found.source, DatabaseSource::NotFound);
    EXPECT_EQ(found.path, P("work/database.mdb"));

    const std::string beside = Touch(root / "images/database.mdb");
    found = LocateParameterDatabase("", P("work"), image);
    EXPECT_EQ(found.source, DatabaseSource::BesideImage);
    EXPECT_EQ(found.path, beside);

    const std::string working = Touch(root / "work/database.mdb");
    found = LocateParameterDatabase("", P("work"), image);
    EXPECT_EQ(found.source, DatabaseSource::WorkingFolder);
    EXPECT_EQ(found.path, working);

    const std::string chosen = Touch(root / "mine/params.db");
    found = LocateParameterDatabase(chosen, P("work"), image);
    EXPECT_EQ(found.source, DatabaseSource::Chosen);
    EXPECT_EQ(found.path, chosen);
    EXPECT_FALSE(found.chosenMissing);
}

TEST_F(DatabaseLocationTest, MissingChoiceFallsBackAndIsSaid) {
    const std::string chosen = P("mine/gone.db");
    DatabaseLocation found = LocateParameterDatabase(chosen, P("work"), "");
    EXPECT_TRUE(found.chosenMissing);
    EXPECT_EQ(found.source, DatabaseSource::NotFound);
    EXPECT_EQ(found.path, chosen);

    const std::string working = Touch(root / "work/database.mdb");
    found = LocateParameterDatabase(chosen, P("work"), "");
    EXPECT_TRUE(found.chosenMissing);
    EXPECT_EQ(found.source, DatabaseSource::WorkingFolder);
    EXPECT_EQ(found.path, working);
    // A folder of that name is no database.
    fs::create_directories(root / "mine/dir.db");
    EXPECT_TRUE(LocateParameterDatabase(P("mine/dir.db"), P("work"), "").chosenMissing);
}

} // namespace
