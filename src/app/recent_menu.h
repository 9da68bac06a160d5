#pragma once

#include <QMenu>
#include <QString>

// "Файл → Последние файлы": the files opened or saved last, as the settings keep them, each
// with its whole path (images of one name often sit in several folders). Disabled while empty.
class TRecentMenu : public QMenu {
    Q_OBJECT
public:
    explicit TRecentMenu(QWidget* parent);
    // Puts a file first in the list, or takes it out.
    void Remember(const QString& fileName);
    void Forget(const QString& fileName);

signals:
    void Chosen(const QString& fileName);

private:
    void Fill();
};
