#include "ui/command_dialogs.h"

#include "ui/app_settings.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace {

const QStringList OpenFilters = {QStringLiteral("Hex Files (*.hex)"),
                                 QStringLiteral("Binary Files (*.bin)"),
                                 QStringLiteral("All Files (*)")};

// Runs a file dialog that starts at fileName, else in the folder the same dialog (`key`) last
// chose a file in, and remembers the chosen file's folder. False when cancelled.
bool RunRememberingDialog(QFileDialog& dialog, const QString& key, QString& fileName) {
    AppSettings settings;
    const QString folder = settings.LastFolder(key);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    else if (!folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().front();
    settings.RememberFolder(key, fileName);
    return true;
}

bool RunOpenDialog(QWidget* parent, QString& fileName, int& filterIndex) {
    QFileDialog dialog(parent, QStringLiteral("Открытие файла"));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(OpenFilters);
    dialog.selectNameFilter(OpenFilters.front());
    dialog.setSizeGripEnabled(true);
    fileName.clear(); // the open dialog always starts in the folder of the last open
    if (!RunRememberingDialog(dialog, QStringLiteral("open"), fileName))
        return false;
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
    return RunRememberingDialog(dialog, QStringLiteral("save"), fileName);
}

bool RunDatabaseDialog(QWidget* parent, QString& fileName) {
    QFileDialog dialog(parent, QStringLiteral("База параметров"));
    dialog.setObjectName(QStringLiteral("DatabaseDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Базы параметров (*.mdb *.db *.sqlite)"), QStringLiteral("Все файлы (*)")});
    dialog.setSizeGripEnabled(true);
    return RunRememberingDialog(dialog, QStringLiteral("database"), fileName);
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

bool ConfirmOutOfRangeBox(QWidget* parent, const QString& text) {
    return QMessageBox::warning(parent, QStringLiteral("Значения вне диапазона"), text,
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

bool AskNumberBox(QWidget* parent, const QString& title, const QString& label, QString& text) {
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (ok)
        text = typed;
    return ok;
}

bool AskRestoreBox(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Velmaris"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

JournalChoice ChooseJournalBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Несохранённые изменения"),
                    text + QStringLiteral("\n\nОткрыть этот образ с изменениями?"),
                    QMessageBox::NoButton, parent);
    QPushButton* open = box.addButton(QStringLiteral("Открыть"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(QStringLiteral("Оставить на потом"), QMessageBox::RejectRole);
    QPushButton* remove = box.addButton(QStringLiteral("Удалить"), QMessageBox::DestructiveRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() == open)
        return JournalChoice::Open;
    return box.clickedButton() == remove ? JournalChoice::Discard : JournalChoice::Keep;
}

} // namespace

CommandDialogs CommandDialogs::Defaults() {
    return {RunOpenDialog,     RunSaveDialog,        AskSaveBox,      WarnBox,
            ConfirmReplaceBox, AskRestoreBox,        nullptr,         RunDatabaseDialog,
            AskNumberBox,      ConfirmOutOfRangeBox, ChooseJournalBox};
}
