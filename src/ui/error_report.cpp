#include "ui/error_report.h"

#include "formula/calc_errors.h"

#include <QMessageBox>
#include <exception>

std::function<void(QWidget*, const QString&)> ShowErrorMessage = [](QWidget* parent,
                                                                    const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Velmaris"), text);
};

bool RunGuarded(QWidget* parent, const std::function<void()>& command) {
    try {
        ConvertCalcErrors(command);
        return true;
    } catch (const std::exception& e) {
        ShowErrorMessage(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorMessage(parent, QStringLiteral("Unknown error."));
    }
    return false;
}
