// What the main window keeps between runs: its geometry, toolbars and splitter, the recent
// files and the parameter database the user chose.
#include "app/main_form.h"

#include "params/database_location.h"
#include "ui/app_settings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSplitter>

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");
const QString StateKey = QStringLiteral("window/state");
const QString SplitterKey = QStringLiteral("window/splitter");
const QString DatabaseKey = QStringLiteral("database/path");

// A stored picture of a window part, or nothing when the value is of another kind.
QByteArray StoredBytes(const AppSettings& settings, const QString& key) {
    const QVariant value = settings.Value(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

} // namespace

void TMainForm::RestoreWindowSettings() {
    const AppSettings settings;
    const QByteArray geometry = StoredBytes(settings, GeometryKey);
    Restored = !geometry.isEmpty() && restoreGeometry(geometry);
    const QByteArray state = StoredBytes(settings, StateKey);
    if (!state.isEmpty())
        restoreState(state);
    const QByteArray splitter = StoredBytes(settings, SplitterKey);
    if (!splitter.isEmpty() && ViewSplitter->restoreState(splitter))
        PlaceView();
}

void TMainForm::SaveWindowSettings() {
    AppSettings settings;
    settings.SetValue(GeometryKey, saveGeometry());
    settings.SetValue(StateKey, saveState());
    settings.SetValue(SplitterKey, ViewSplitter->saveState());
}

void TMainForm::BuildRecentMenu() {
    MRecent = new QMenu(QStringLiteral("Последние файлы"), this);
    MRecent->setObjectName(QStringLiteral("MRecent"));
    FillRecentMenu();
}

void TMainForm::FillRecentMenu() {
    MRecent->clear();
    const QStringList files = AppSettings().RecentFiles();
    int number = 0;
    for (const QString& file : files) {
        ++number;
        // The whole path: images of one name often sit in several folders.
        QAction* a = MRecent->addAction(QStringLiteral("&%1  %2").arg(number).arg(
            QDir::toNativeSeparators(file).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        connect(a, &QAction::triggered, this,
                [this, file] { Guard([&] { OpenRecentFile(file); }); });
    }
    MRecent->menuAction()->setEnabled(!files.isEmpty());
}

void TMainForm::RememberRecentFile(const QString& fileName) {
    AppSettings().AddRecentFile(fileName);
    FillRecentMenu();
}

void TMainForm::MDatabaseClick() {
    AppSettings settings;
    QString file = settings.Text(DatabaseKey);
    if (file.isEmpty()) // the dialog starts at the database in use
        file = QFile::decodeName(
            LocateParameterDatabase({}, QFile::encodeName(QDir::currentPath()).toStdString(),
                                    QFile::encodeName(Doc->LoadedFile()).toStdString())
                .path.c_str());
    if (!Asks.ChooseDatabase(this, file))
        return;
    settings.SetValue(DatabaseKey, QFileInfo(file).absoluteFilePath());
}

QString TMainForm::ChosenDatabase() const {
    return AppSettings().Text(DatabaseKey);
}
