#include "app/help_form.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

// The help pages live in a resource of the static Qt library; naming it here keeps the linker
// from dropping it.
static void InitHelpResource() {
    Q_INIT_RESOURCE(help);
}

const char* THelpForm::ContentsPage = "qrc:/help/index.html";

THelpForm::THelpForm(QWidget* parent) : QDialog(parent) {
    InitHelpResource();
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Справка"));
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(false);
    Browser->setSource(QUrl(QString::fromLatin1(ContentsPage)));
    layout->addWidget(Browser);
    auto* contents = new QPushButton(QStringLiteral("Содержание"), this);
    connect(contents, &QPushButton::clicked, this,
            [this] { Browser->setSource(QUrl(QString::fromLatin1(ContentsPage))); });
    layout->addWidget(contents, 0, Qt::AlignLeft);
}

THelpForm* ShowHelpWindow(QWidget* parent) {
    auto* form =
        parent ? parent->findChild<THelpForm*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!form) {
        form = new THelpForm(parent);
        form->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        form->Browser->setSource(QUrl(QString::fromLatin1(THelpForm::ContentsPage)));
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}
