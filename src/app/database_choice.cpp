#include "app/database_choice.h"

#include "params/database_location.h"
#include "ui/app_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString DatabaseKey = QStringLiteral("database/path");

} // namespace

QString ChosenDatabase() {
    return AppSettings().Text(DatabaseKey);
}

void ChooseDatabase(const CommandDialogs& dialogs, QWidget* parent, const QString& loadedFile) {
    AppSettings settings;
    QString file = settings.Text(DatabaseKey);
    if (file.isEmpty()) // the dialog starts at the database in use
        file = QFile::decodeName(
            LocateParameterDatabase({}, QFile::encodeName(QDir::currentPath()).toStdString(),
                                    QFile::encodeName(loadedFile).toStdString())
                .path.c_str());
    if (!dialogs.ChooseDatabase(parent, file))
        return;
    settings.SetValue(DatabaseKey, QFileInfo(file).absoluteFilePath());
}
