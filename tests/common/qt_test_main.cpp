// The main of every test program whose tests need Qt's application object: one QApplication,
// made before the first test and alive until the last one has finished.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Listing the tests or running the program by hand needs no display; a platform chosen by
    // the caller (the rendering tests run on a real X server) is kept.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // What the windows remember goes to a folder of this run, never the user's own; each test
    // runs as a program of its own, so each starts from the defaults.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    // So do the crash journals: a journal one test leaves is never offered in another.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
