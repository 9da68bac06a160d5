#include "ui/app_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString RecentKey = QStringLiteral("files/recent");

QString DialogKey(const QString& dialog) {
    return QStringLiteral("dialogs/") + dialog + QStringLiteral("Folder");
}

} // namespace

namespace {

// Where the settings file lives, found without opening it: a settings object on that file
// would read it, and write it back when it goes.
QString SettingsFilePath() {
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmaris"),
                          QStringLiteral("velmaris-probe"));
    return QFileInfo(probe.fileName()).dir().filePath(QStringLiteral("velmaris.conf"));
}

std::unique_ptr<QSettings> OpenSettings(QString& ignored) {
    // Something other than a file in its place (a FIFO, a device, a folder) would stall the
    // read or take the writes: the settings then live in a scratch file for this run only.
    const QFileInfo file(SettingsFilePath());
    if (file.exists() && !file.isFile()) {
        ignored = file.filePath();
        return std::make_unique<QSettings>(
            QDir::temp().filePath(QStringLiteral("velmaris-settings-%1.conf")
                                      .arg(QCoreApplication::applicationPid())),
            QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Velmaris"), QStringLiteral("velmaris"));
}

} // namespace

QString AppSettings::ignored_;

AppSettings::AppSettings() : settings_(OpenSettings(ignored_)) {
    // The file is read at the first question; only then does the status say how that went.
    settings_->allKeys();
    if (settings_->status() != QSettings::NoError)
        settings_->clear();
}

AppSettings::~AppSettings() = default;

QVariant AppSettings::Value(const QString& key) const {
    return settings_->value(key);
}

QString AppSettings::Text(const QString& key) const {
    const QVariant value = settings_->value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void AppSettings::SetValue(const QString& key, const QVariant& value) {
    settings_->setValue(key, value);
}

QStringList AppSettings::RecentFiles() const {
    const QVariant value = settings_->value(RecentKey);
    QStringList files;
    if (value.typeId() != QMetaType::QStringList && value.typeId() != QMetaType::QString)
        return files;
    for (const QString& name : value.toStringList())
        if (!name.isEmpty() && !files.contains(name) && files.size() < MaxRecentFiles)
            files << name;
    return files;
}

void AppSettings::AddRecentFile(const QString& fileName) {
    const QString name = QFileInfo(fileName).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(name);
    files.prepend(name);
    while (files.size() > MaxRecentFiles)
        files.removeLast();
    settings_->setValue(RecentKey, files);
}

void AppSettings::RemoveRecentFile(const QString& fileName) {
    QStringList files = RecentFiles();
    files.removeAll(fileName);
    settings_->setValue(RecentKey, files);
}

QString AppSettings::LastFolder(const QString& dialog) const {
    const QString folder = Text(DialogKey(dialog));
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void AppSettings::RememberFolder(const QString& dialog, const QString& chosenFile) {
    settings_->setValue(DialogKey(dialog), QFileInfo(chosenFile).absolutePath());
}
