// The main window keeps its geometry, splitter, recent files, chosen parameter database and the
// programmer's port and speed from one run to the next, and shrugs off a damaged settings file.
#include "app/main_form.h"
#include "child_named.h"
#include "params/view/opt_form.h"
#include "params/view/opt_form_run.h"
#include "programmer/view/prog_form.h"
#include "ui/error_report.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(config.isValid() && files.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        savedError = ShowErrorMessage;
        ShowErrorMessage = [this](QWidget*, const QString& text) { errors << text; };
    }
    void TearDown() override { ShowErrorMessage = savedError; }

    std::unique_ptr<TMainForm> NewForm() {
        auto form = std::make_unique<TMainForm>();
        form->Dialogs().Warn = [this](QWidget*, const QString& text) { warnings << text; };
        return form;
    }
    QString ImageFile(const char* name) {
        FirmwareImage image;
        const QString path = files.filePath(QString::fromLatin1(name));
        image.SaveBin(QFile::encodeName(path).toStdString());
        return path;
    }
    QString SettingsFile() const {
        return config.filePath(QStringLiteral("Velmaris/velmaris.conf"));
    }

    QTemporaryDir config;
    QTemporaryDir files;
    QStringList errors;
    QStringList warnings;
    std::function<void(QWidget*, const QString&)> savedError;
};

// Runs the programmer window; while it is up, picks port and speed (when given) and closes it.
QString RunProgrammer(TMainForm& form, const QString& port, const QString& speed) {
    QString seen;
    QTimer::singleShot(100, &form, [&] {
        auto* prog = form.findChild<TProgForm*>();
        ASSERT_NE(prog, nullptr);
        seen = prog->ComNumber->currentText() + QLatin1Char(' ') + prog->Speed->currentText();
        if (!port.isEmpty()) {
            prog->ComNumber->setCurrentText(port);
            prog->Speed->setCurrentText(speed);
        }
        prog->close();
    });
    form.MFlasherClick();
    return seen;
}

TEST_F(SettingsTest, EverythingChosenSurvivesARestart) {
    const auto savedMessage = TProgForm::ShowMessage;
    TProgForm::ShowMessage = [](QWidget*, QMessageBox::Icon, const QString&, const QString&) {};
    const QString first = ImageFile("first.bin");
    const QString second = ImageFile("second.bin");
    const QString database = files.filePath(QStringLiteral("params.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMARIS_FIXTURES_DIR "/database-jet4.mdb"), database));
    const QString port = files.filePath(QStringLiteral("no-such-port"));
    QList<int> splitterSizes;
    {
        auto form = NewForm();
        form->show();
        form->resize(900, 640);
        ChildNamed<QSplitter>(*form, "ViewSplitter")->setSizes({300, 595});
        QApplication::processEvents();
        splitterSizes = ChildNamed<QSplitter>(*form, "ViewSplitter")->sizes();
        form->OpenFromCommandLine(first);
        form->OpenFromCommandLine(second);
        form->Dialogs().ChooseDatabase = [&](QWidget*, QString& name) {
            name = database;
            return true;
        };
        ChildNamed(*form, "MDatabase")->trigger();
        // Nothing remembered yet: no built-in port is guessed (a USB adapter may be offered).
        const QString start = RunProgrammer(*form, port, QStringLiteral("9600"));
        EXPECT_FALSE(start.startsWith(QStringLiteral("COM"))) << start.toStdString();
        EXPECT_TRUE(start.endsWith(QStringLiteral(" 19200"))) << start.toStdString();
    }
    auto form = NewForm();
    EXPECT_TRUE(form->GeometryRestored());
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(form->size(), QSize(900, 640));
    EXPECT_EQ(ChildNamed<QSplitter>(*form, "ViewSplitter")->sizes(), splitterSizes);
    const QList<QAction*> recent = ChildNamed<QMenu>(*form, "MRecent")->actions();
    ASSERT_EQ(recent.size(), 2);
    EXPECT_TRUE(recent[0]->text().endsWith(second)) << recent[0]->text().toStdString();
    EXPECT_TRUE(recent[1]->text().endsWith(first));
    EXPECT_EQ(RunProgrammer(*form, QString(), QString()), port + QStringLiteral(" 9600"));
    QString status;
    ShowOptFormModal = [&](TOptForm& opt) { status = opt.StatusLine->text(); };
    ChildNamed(*form, "MOpt")->trigger();
    ShowOptFormModal = [](TOptForm& opt) { opt.exec(); };
    EXPECT_TRUE(status.contains(database)) << status.toStdString();
    TProgForm::ShowMessage = savedMessage;

    // A recent file that has gone is refused, said and dropped; nothing is opened.
    ASSERT_TRUE(QFile::remove(first));
    recent[1]->trigger();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(first)) << warnings[0].toStdString();
    EXPECT_EQ(form->windowTitle(), TMainForm::MainCaption() + QStringLiteral("[*]"));
    EXPECT_EQ(ChildNamed<QMenu>(*form, "MRecent")->actions().size(), 1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SettingsTest, DamagedSettingsFileIsIgnored) {
    ASSERT_TRUE(QDir().mkpath(config.filePath(QStringLiteral("Velmaris"))));
    QFile damaged(SettingsFile());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    // Bytes that are no settings text at all after a half-written value.
    const char bytes[] = "[window]\ngeometry=@ByteArray(\\x1\n[files]\nrecent=/a\n\xff\xfe"
                         "\x00[[\x01=\x02\n\"\n";
    damaged.write(bytes, sizeof bytes - 1);
    damaged.close();
    {
        auto form = NewForm();
        EXPECT_FALSE(form->GeometryRestored());
        EXPECT_TRUE(ChildNamed<QMenu>(*form, "MRecent")->actions().isEmpty());
        EXPECT_FALSE(ChildNamed<QMenu>(*form, "MRecent")->menuAction()->isEnabled());
    }
    QSettings written(SettingsFile(), QSettings::NativeFormat);
    EXPECT_EQ(written.status(), QSettings::NoError);
    EXPECT_TRUE(written.contains(QStringLiteral("window/geometry")));
    EXPECT_FALSE(written.contains(QStringLiteral("files/recent")));
}

} // namespace
