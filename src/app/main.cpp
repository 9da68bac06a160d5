#include "app/main_form.h"
#include "app/translations.h"
#include "ui/error_report.h"
#include "velmaris_notice.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// --help and --version answer on the terminal before the toolkit starts, so they work where
// there is no display (over ssh, in a package check).
bool AnswerInfoOption(int argc, char** argv) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("velmaris %s\n%s", VELMARIS_VERSION, VELMARIS_NOTICE_TEXT);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::printf("Использование: velmaris [ФАЙЛ]\n"
                    "Редактор алгоритма и калибровок двигателя.\n\n"
                    "  ФАЙЛ       образ памяти ЭБУ: *.hex (Intel HEX) или двоичный файл\n"
                    "  --help     эта справка\n"
                    "  --version  версия программы\n\n"
                    "База параметров: выбранная в «Настройки → База параметров…»,\n"
                    "иначе database.mdb в рабочей папке, иначе рядом с образом.\n"
                    "Без окна: velmaris-cli --help.\n");
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnswerInfoOption(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmaris"));
    QApplication::setApplicationName(QStringLiteral("velmaris"));
    InstallToolkitTranslation(app);

    std::unique_ptr<TMainForm> form;
    // Without an image there is nothing to edit: the error is shown and the program ends.
    if (!RunGuarded(nullptr, [&] { form = std::make_unique<TMainForm>(); }))
        return 1;
    // The window comes back as it was left; the first run fills the screen.
    if (form->GeometryRestored())
        form->show();
    else
        form->showMaximized();
    // "velmaris FILE" opens FILE as the open command would.
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        form->OpenFromCommandLine(args.at(1));
    else
        form->OfferLeftJournals(); // what a crash left behind, before anything else is done
    return QApplication::exec();
}
