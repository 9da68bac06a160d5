#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSettings;

// The program's settings that stay from one run to the next, in the user's configuration
// folder (on Linux ~/.config/Velmaris/velmaris.conf). Keys are grouped: "window/...",
// "dialogs/...", "programmer/...", "view/...", "database/path".
//
// A settings file that cannot be read is not trusted in part: its values are dropped, every
// reader gets its default, and the next write leaves a clean file. Each reader also checks the
// type and range of what it gets, as a hand-edited file may hold anything.
class AppSettings {
public:
    static constexpr int MaxRecentFiles = 8;

    AppSettings();
    // The settings file's path when something other than a regular file stands there (it is
    // then neither read nor written); empty otherwise.
    static const QString& IgnoredFile() { return ignored_; }
    ~AppSettings();
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    QVariant Value(const QString& key) const;
    QString Text(const QString& key) const;
    void SetValue(const QString& key, const QVariant& value);

    // Recent image files, most recent first, at most MaxRecentFiles, no name twice.
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& fileName);
    void RemoveRecentFile(const QString& fileName);

    // The folder a file dialog ("open", "save", "database") last chose a file in; empty when
    // none was chosen yet or the folder is gone.
    QString LastFolder(const QString& dialog) const;
    void RememberFolder(const QString& dialog, const QString& chosenFile);

private:
    static QString ignored_;
    std::unique_ptr<QSettings> settings_;
};
