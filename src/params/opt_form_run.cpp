#include "params/opt_form_run.h"

#include "params/opt_form.h"
#include "params/parameter_formula.h"

#include <QDir>

std::function<void(TOptForm&)> ShowOptFormModal = [](TOptForm& form) { form.exec(); };

void RunParameterWindow(FirmwareImage& image, QWidget* parent, const EditPath& edit) {
    // The database is looked up where the program runs, at the moment the window is created.
    TOptForm form(image, EvaluateParameterFormula,
                  QDir::current().filePath(QStringLiteral("database.mdb")), parent);
    form.Edit = edit;
    ShowOptFormModal(form);
}
