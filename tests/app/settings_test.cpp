// The main window keeps its geometry, splitter, recent files, chosen parameter database and the
// programmer's port and speed from one run to the next, and shrugs off a damaged settings file.
#include "app/main_form.h"
#include "app/view_layout.h"
#include "child_named.h"
#include "image_bytes.h"
#include "maps/view/map_grid.h"
#include "maps/view/section_view.h"
#include "params/view/opt_form.h"
#include "params/view/opt_form_run.h"
#include "programmer/view/prog_form.h"
#include "ui/error_report.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

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

// The "Вид" menu: the 2-D view draws the row and column through the current cell, the grid
// alone shows every column of УОЗ at 1366 × 768, and the choice survives a restart.
TEST_F(SettingsTest, ViewChoiceShowsCurvesOrTheWholeGridAndIsRemembered) {
    FirmwareImage pattern;
    pattern.ReplaceData(PatternBytes(7, 3).data());
    const QString path = files.filePath(QStringLiteral("pattern.bin"));
    pattern.SaveBin(QFile::encodeName(path).toStdString());
    {
        auto form = NewForm();
        form->show();
        form->resize(1366, 768);
        form->OpenFromCommandLine(path);
        ChildNamed<QAction>(*form, "MViewSections")->trigger();
        form->Grid()->SetCurrentCell(4, 3);
        form->SGSelectCell(4, 3);
        const TSectionView* view = form->Views()->Sections();
        ASSERT_TRUE(view->isVisible());
        const MapInfo& uoz = GetMapInfo(MapKind::Uoz);
        const QList<QPointF> row = view->RowSeries()->points();
        const QList<QPointF> col = view->ColSeries()->points();
        ASSERT_EQ(row.size(), uoz.cols);
        ASSERT_EQ(col.size(), uoz.rows);
        for (int c = 0; c < uoz.cols; ++c)
            EXPECT_EQ(row[c].y(), MapValue(form->GetImage(), MapKind::Uoz, 2, c)) << c;
        for (int r = 0; r < uoz.rows; ++r)
            EXPECT_EQ(col[r].y(), MapValue(form->GetImage(), MapKind::Uoz, r, 3)) << r;
        EXPECT_TRUE(view->ReferenceRowSeries()->points().isEmpty());

        // An edit redraws the curves at once.
        form->ApplyOperation(0, 30.0);
        EXPECT_EQ(view->RowSeries()->points()[3].y(),
                  MapValue(form->GetImage(), MapKind::Uoz, 2, 3));

        ChildNamed<QAction>(*form, "MViewGridOnly")->trigger();
        QApplication::processEvents();
        EXPECT_FALSE(ChildNamed<QWidget>(*form, "ViewPane")->isVisible());
        const TMapGrid* grid = form->Grid();
        const int last = grid->columnCount() - 1;
        EXPECT_LE(grid->columnViewportPosition(last) + grid->columnWidth(last),
                  grid->viewport()->width());
    }
    auto form = NewForm();
    form->show();
    QApplication::processEvents();
    EXPECT_TRUE(ChildNamed<QAction>(*form, "MViewGridOnly")->isChecked());
    EXPECT_FALSE(ChildNamed<QWidget>(*form, "ViewPane")->isVisible());
    ChildNamed<QAction>(*form, "MViewSurface")->trigger();
    EXPECT_TRUE(ChildNamed<QWidget>(*form, "ViewPanel")->isVisible());
}

} // namespace

namespace {

// A FIFO in the settings file's place would stall the start for ever: it is neither read nor
// written, and the window says so.
TEST_F(SettingsTest, ASettingsFileThatIsNoFileIsLeftAloneAndSaidSo) {
    ASSERT_TRUE(QDir().mkpath(config.filePath(QStringLiteral("Velmaris"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(SettingsFile()).constData(), 0600), 0);
    auto form = NewForm();
    form->MapAction(MapKind::Tau)->trigger(); // remembered, into the scratch file
    const QString message = ChildNamed<QLabel>(*form, "MessageLabel")->text();
    EXPECT_TRUE(message.contains(QStringLiteral("не обычный файл"))) << message.toStdString();
    form.reset();
    EXPECT_FALSE(QFileInfo(SettingsFile()).isFile()); // still the FIFO, untouched
}

} // namespace
