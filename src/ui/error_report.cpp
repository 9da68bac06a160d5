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
        command();
        return true;
    } catch (const std::exception& e) {
        ShowErrorMessage(parent, QString::fromUtf8(e.what()));
    } catch (...) {
        // The formula evaluator's exceptions derive from nothing; show their own text.
        const std::optional<std::string> text = DescribeCalcError(std::current_exception());
        ShowErrorMessage(parent,
                         text ? QString::fromStdString(*text) : QStringLiteral("Unknown error."));
    }
    return false;
}
