// What AppSettings hands out when the file holds more, or older, than the program may use.
#include "ui/app_settings.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid() && files.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    }
    QTemporaryDir config;
    QTemporaryDir files;
};

// A folder remembered by a dialog and deleted since is not offered again.
TEST_F(AppSettingsTest, AFolderThatIsGoneIsNotOffered) {
    const QString folder = files.filePath(QStringLiteral("images"));
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        AppSettings settings;
        settings.RememberFolder(QStringLiteral("open"), folder + QStringLiteral("/a.hex"));
        EXPECT_EQ(settings.LastFolder(QStringLiteral("open")), folder);
        EXPECT_EQ(settings.LastFolder(QStringLiteral("save")), QString());
    }
    ASSERT_TRUE(QDir(folder).removeRecursively());
    AppSettings settings;
    EXPECT_EQ(settings.LastFolder(QStringLiteral("open")), QString());
}

// A hand-edited or older file may list more names, or one name twice: the list read is at
// most MaxRecentFiles long, each name once, in the file's order.
TEST_F(AppSettingsTest, TheRecentFilesCapAppliesOnReading) {
    QStringList stored;
    for (int i = 0; i < 12; ++i)
        stored << QStringLiteral("/images/%1.hex").arg(i);
    stored.insert(1, stored[0]);
    {
        AppSettings settings;
        settings.SetValue(QStringLiteral("files/recent"), stored);
    }
    AppSettings settings;
    const QStringList recent = settings.RecentFiles();
    ASSERT_EQ(recent.size(), AppSettings::MaxRecentFiles);
    EXPECT_EQ(recent.front(), QStringLiteral("/images/0.hex"));
    EXPECT_EQ(recent.back(), QStringLiteral("/images/7.hex"));
}

} // namespace
