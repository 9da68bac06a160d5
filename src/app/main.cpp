#include "app/error_report.h"
#include "app/main_form.h"
#include "app/translations.h"

#include <QApplication>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmaris"));
    InstallToolkitTranslation(app);

    std::unique_ptr<TMainForm> form;
    // Without an image there is nothing to edit: the error is shown and the program ends.
    if (!RunGuarded(nullptr, [&] { form = std::make_unique<TMainForm>(); }))
        return 1;
    form->showMaximized();
    // "velmaris FILE" opens FILE as the open command would.
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        form->OpenFromCommandLine(args.at(1));
    return QApplication::exec();
}
