// Editing of the selected map cells: typed values, steps, operations, copy and paste. The core
// (maps/map_operations.h, maps/table_text.h) computes every stored value; these handlers take
// the user's input, run it as one edit step and report what was clamped.
#include "app/main_form.h"

#include "app/map_edit_texts.h"
#include "maps/edit_names.h"
#include "maps/view/map_grid.h"
#include "ui/decimal_separator.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <iterator>
#include <string>

void TMainForm::BuildEditMenu() {
    // The operations follow undo, redo and the history list in the menu the history made.
    MEdit->addSeparator()->setObjectName(QStringLiteral("NEdit2"));
    auto item = [this](const char* name, const QString& text, const QKeySequence& keys,
                       std::function<void()> handler) {
        QAction* a = MEdit->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        // The grid's own keys (plus, minus, Ctrl+A) are handled by the grid; the shortcut only
        // labels the item there and acts elsewhere in the window.
        connect(a, &QAction::triggered, this, [this, handler] { Guard(handler); });
        return a;
    };
    item("MStepUp", QStringLiteral("Увеличить на шаг"), QKeySequence(),
         [this] { StepSelection(1); });
    item("MStepDown", QStringLiteral("Уменьшить на шаг"), QKeySequence(),
         [this] { StepSelection(-1); });
    MEdit->addSeparator();
    for (int i = 0; i < static_cast<int>(std::size(MapEditOperations)); ++i) {
        if (i == 3 || i == 6)
            MEdit->addSeparator();
        item(MapEditOperations[i].name, QString::fromUtf8(MapEditOperations[i].text),
             QKeySequence(QString::fromLatin1(MapEditOperations[i].keys)),
             [this, i] { AskAndApply(i); });
    }
    MEdit->addSeparator();
    item("MCopy", QStringLiteral("Копировать"), QKeySequence(Qt::CTRL | Qt::Key_C),
         [this] { CopySelection(false); });
    item("MCopyWithAxes", QStringLiteral("Копировать с осями"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { CopySelection(true); });
    item("MPaste", QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V),
         [this] { PasteText(QGuiApplication::clipboard()->text()); });
    item("MSelectAll", QStringLiteral("Выделить всё"), QKeySequence(Qt::CTRL | Qt::Key_A),
         [this] { SG->SelectCells(1, 1, SG->ColCount() - 1, SG->RowCount() - 1); });
    SG->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SG, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { MEdit->popup(SG->viewport()->mapToGlobal(at)); });
    connect(SG, &TMapGrid::ValueEntered, this,
            [this](const QString& text) { Guard([&] { SGValueEntered(text); }); });
}

CellRect TMainForm::SelectedRect() const {
    // The current cell is the anchor: a selection that does not hold it (the edit state was
    // moved without the grid) gives way to the current cell alone.
    const QRect cells = SG->SelectedCells().translated(-1, -1);
    if (!cells.contains(Edit.SelCol, Edit.SelRow))
        return {Edit.SelRow, Edit.SelCol, Edit.SelRow, Edit.SelCol};
    return {cells.top(), cells.left(), cells.bottom(), cells.right()};
}

void TMainForm::ShowEditCount(const MapEditCount& count) {
    MessageLabel->setText(EditCountText(count));
    MessageLabel->setToolTip(MessageLabel->text());
}

void TMainForm::SGValueEntered(const QString& text) {
    double value = 0;
    if (!ParseCellNumber(text.toStdString(), value)) {
        Asks.Warn(this, QStringLiteral("«%1» — не число. Значение не изменено.").arg(text));
        return;
    }
    if (Compared->IsOpen() && Compared->Show() == Comparison::CellShow::Difference)
        return EnterDifference(value);
    ApplyOperation(0, value);
}

void TMainForm::EnterDifference(double delta) {
    const CellRect rect = ClipToTable(Edit.CurrentMap, SelectedRect());
    CellValues values;
    if (const auto refusal = CheckDifferenceEntry(GetImage(), *Compared->Reference(),
                                                  Edit.CurrentMap, rect, delta, values))
        return Asks.Warn(this, *refusal);
    if (!ConfirmWarnings(rect.top, rect.left, values))
        return;
    MapEditCount count;
    ApplyEdit(
        QString::fromStdString(DifferenceEditName(GetImage(), Edit.CurrentMap, rect, delta,
                                                  std::string(1, LocaleDecimalSeparator()))),
        [&] { count = StoreMapValues(GetImage(), Edit.CurrentMap, rect.top, rect.left, values); });
    ShowEditCount(count);
}

bool TMainForm::ConfirmWarnings(int top, int left, const CellValues& values) {
    const QString question = WarningQuestion(Edit.CurrentMap, top, left, values,
                                             Warnings[static_cast<int>(Edit.CurrentMap)]);
    return question.isEmpty() || Asks.ConfirmOutOfRange(this, question);
}

void TMainForm::StepSelection(int delta) {
    MapEditCount count;
    ApplyEdit(QStringLiteral("Шаг значения"),
              [&] { count = StepMapCells(GetImage(), Edit.CurrentMap, SelectedRect(), delta); });
    ShowEditCount(count);
}

void TMainForm::AskAndApply(int operation) {
    const MapEditOperation& item = MapEditOperations[operation];
    double operand = 0;
    if (item.asksNumber) {
        QString text = OperandStart(item.op, SG->Cell(SG->Col(), SG->Row()), LastAddend);
        if (!Asks.AskNumber(this, QString::fromUtf8(item.step),
                            OperandLabel(item.op, Edit.CurrentMap), text))
            return;
        if (!ParseCellNumber(text.toStdString(), operand)) {
            Asks.Warn(this, QStringLiteral("«%1» — не число. Таблица не изменена.").arg(text));
            return;
        }
        if (item.op == MapOperation::Add)
            LastAddend = text.trimmed();
    }
    ApplyOperation(operation, operand);
}

void TMainForm::ApplyOperation(int operation, double operand) {
    const MapEditOperation& item = MapEditOperations[operation];
    const EditCheck check = CheckOperation(GetImage(), Edit.CurrentMap, SelectedRect(), item.op,
                                           operand, Warnings[static_cast<int>(Edit.CurrentMap)]);
    if (!check.refusal.isEmpty())
        return Asks.Warn(this, check.refusal);
    if (!check.question.isEmpty() && !Asks.ConfirmOutOfRange(this, check.question))
        return;
    MapEditCount count;
    const std::string name = MapEditName(GetImage(), Edit.CurrentMap, SelectedRect(), item.op,
                                         operand, std::string(1, LocaleDecimalSeparator()));
    ApplyEdit(QString::fromStdString(name), [&] {
        count = ApplyMapOperation(GetImage(), Edit.CurrentMap, SelectedRect(), item.op, operand);
    });
    ShowEditCount(count);
}

void TMainForm::CopySelection(bool withAxes) {
    const std::string text = SelectionText(GetImage(), Edit.CurrentMap, SelectedRect(),
                                           std::string(1, LocaleDecimalSeparator()), withAxes);
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TMainForm::PasteText(const QString& text) {
    // Checked in full before the edit step, so a refused text leaves no step behind.
    CellValues values;
    if (const auto refusal = CheckPaste(GetImage(), Edit.CurrentMap, Edit.SelRow, Edit.SelCol,
                                        text.toStdString(), values))
        return Asks.Warn(this, *refusal);
    if (!ConfirmWarnings(Edit.SelRow, Edit.SelCol, values))
        return;
    MapEditCount count;
    int cells = 0;
    for (const auto& line : values)
        for (const std::optional<double>& v : line)
            cells += v.has_value();
    ApplyEdit(QString::fromStdString(PasteEditName(Edit.CurrentMap, cells)), [&] {
        count = StoreMapValues(GetImage(), Edit.CurrentMap, Edit.SelRow, Edit.SelCol, values);
    });
    ShowEditCount(count);
}
