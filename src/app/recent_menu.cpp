#include "app/recent_menu.h"

#include "ui/app_settings.h"

#include <QAction>
#include <QDir>
#include <QStringList>

TRecentMenu::TRecentMenu(QWidget* parent) : QMenu(QStringLiteral("Последние файлы"), parent) {
    setObjectName(QStringLiteral("MRecent"));
    Fill();
}

void TRecentMenu::Remember(const QString& fileName) {
    AppSettings().AddRecentFile(fileName);
    Fill();
}

void TRecentMenu::Forget(const QString& fileName) {
    AppSettings().RemoveRecentFile(fileName);
    Fill();
}

void TRecentMenu::Fill() {
    clear();
    const QStringList files = AppSettings().RecentFiles();
    int number = 0;
    for (const QString& file : files) {
        ++number;
        QAction* a = addAction(QStringLiteral("&%1  %2").arg(number).arg(
            QDir::toNativeSeparators(file).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        connect(a, &QAction::triggered, this, [this, file] { emit Chosen(file); });
    }
    menuAction()->setEnabled(!files.isEmpty());
}
