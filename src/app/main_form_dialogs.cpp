#include "app/main_form_dialogs.h"

#include "app/help_form.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace {

const QStringList OpenFilters = {QStringLiteral("Hex Files (*.hex)"),
                                 QStringLiteral("Binary Files (*.bin)"),
                                 QStringLiteral("All Files (*)")};

bool RunOpenDialog(QWidget* parent, QString& fileName, int& filterIndex) {
    QFileDialog dialog(parent, QStringLiteral("Открытие файла"));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(OpenFilters);
    dialog.selectNameFilter(OpenFilters.front());
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().front();
    filterIndex = static_cast<int>(OpenFilters.indexOf(dialog.selectedNameFilter())) + 1;
    if (filterIndex < 1)
        filterIndex = 3;
    return true;
}

bool RunSaveDialog(QWidget* parent, QString& fileName) {
    QFileDialog dialog(parent, QStringLiteral("Сохранение файла"));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("hex"));
    dialog.setNameFilter(QStringLiteral("All Files (*)"));
    dialog.setSizeGripEnabled(true);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().front();
    return true;
}

SaveAnswer AskSaveBox(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Velmaris"), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return SaveAnswer::Yes;
    case QMessageBox::No:
        return SaveAnswer::No;
    default:
        return SaveAnswer::Cancel;
    }
}

void WarnBox(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Velmaris"), text);
}

bool ConfirmReplaceBox(QWidget* parent, const QString& text) {
    return QMessageBox::warning(parent, QStringLiteral("Сохранение файла"), text,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

bool AskRestoreBox(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Velmaris"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

} // namespace

MainFormDialogs MainFormDialogs::Defaults() {
    return {RunOpenDialog,     RunSaveDialog, AskSaveBox,    WarnBox,
            ConfirmReplaceBox, AskRestoreBox, ShowHelpWindow};
}
