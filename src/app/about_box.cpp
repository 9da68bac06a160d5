#include "app/about_box.h"

#include "velmaris_notice.h"

#include <QMessageBox>

QString AboutText() {
    // The licence lines are the same English text --version prints: the licence is named in
    // its own words, and the link leads to its full text.
    return QStringLiteral("Velmaris %1\nРедактор алгоритма и калибровок двигателя\n\n")
               .arg(QStringLiteral(VELMARIS_NOTICE_VERSION)) +
           QStringLiteral(VELMARIS_NOTICE_COPYRIGHT "\n\n" VELMARIS_NOTICE_LICENCE);
}

void ShowAboutBox(QWidget* parent) {
    QMessageBox::about(parent, QStringLiteral("О программе"), AboutText());
}
