#pragma once

#include <QDialog>

class QTextBrowser;

// The program's own help: Russian HTML pages compiled into the program, opened at the
// contents page. Links between the pages work; outside links are not followed.
class THelpForm : public QDialog {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);
    static const char* ContentsPage; // "qrc:/help/index.html"
    QTextBrowser* Browser = nullptr;
};

// Opens the help window at its contents page, owned by parent, and returns it. Only one help
// window exists per owner: a second call brings the first to the front at the contents page.
THelpForm* ShowHelpWindow(QWidget* parent);
