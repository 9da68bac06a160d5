#include "ui/app_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString RecentKey = QStringLiteral("files/recent");

QString DialogKey(const QString& dialog) {
    return QStringLiteral("dialogs/") + dialog + QStringLiteral("Folder");
}

} // namespace

AppSettings::AppSettings()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Velmaris"),
                                            QStringLiteral("velmaris"))) {
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
