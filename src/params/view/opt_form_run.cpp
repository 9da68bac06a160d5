#include "params/view/opt_form_run.h"

#include "params/parameter_formula.h"
#include "params/view/opt_form.h"

#include "params/database_location.h"
#include "ui/app_settings.h"

#include <QDir>
#include <QFile>

std::function<void(TOptForm&)> ShowOptFormModal = [](TOptForm& form) { form.exec(); };

DatabaseLocation FindParameterDatabase(const QString& chosenDatabase, const QString& imageFile) {
    return LocateParameterDatabase(QFile::encodeName(chosenDatabase).toStdString(),
                                   QFile::encodeName(QDir::currentPath()).toStdString(),
                                   QFile::encodeName(imageFile).toStdString());
}

void RunParameterWindow(FirmwareImage& image, QWidget* parent, const QString& chosenDatabase,
                        const QString& imageFile, const EditPath& edit) {
    // The database is looked up at the moment the window is created.
    const DatabaseLocation found = FindParameterDatabase(chosenDatabase, imageFile);
    TOptForm form(image, EvaluateParameterFormula, QFile::decodeName(found.path.c_str()), parent);
    form.Edit = edit;
    if (found.chosenMissing)
        form.AddStatusNote(QStringLiteral("Выбранная база параметров %1 не найдена.")
                               .arg(QDir::toNativeSeparators(chosenDatabase)));
    // The window comes back as the user left it (size, place, maximised or not); the first
    // time it opens maximised, over a normal size that shows the name, value and unit whole.
    const QByteArray geometry =
        AppSettings().Value(QStringLiteral("params/geometry")).toByteArray();
    if (!geometry.isEmpty())
        form.restoreGeometry(geometry);
    ShowOptFormModal(form);
    AppSettings().SetValue(QStringLiteral("params/geometry"), form.saveGeometry());
}
