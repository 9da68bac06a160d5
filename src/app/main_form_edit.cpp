// Editing of the selected map cells: typed values, steps, operations, copy and paste. The core
// (maps/map_operations.h, maps/table_text.h) computes every stored value; these handlers take
// the user's input, run it as one edit step and report what was clamped.
#include "app/main_form.h"

#include "maps/map_operations.h"
#include "maps/table_text.h"
#include "maps/value_range.h"
#include "maps/view/map_grid.h"
#include "ui/decimal_separator.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QStatusBar>
#include <iterator>
#include <string>

namespace {

struct OperationItem {
    MapOperation op;
    const char* name;
    const char* text; // menu item, UTF-8
    const char* step; // undo step name, UTF-8
    bool asksNumber;
};

const OperationItem Operations[] = {
    {MapOperation::SetValue, "MSetValue", "Установить значение…", "Установить значение", true},
    {MapOperation::Add, "MAddValue", "Прибавить…", "Прибавить", true},
    {MapOperation::MultiplyPercent, "MMultiply", "Умножить на %…", "Умножить на %", true},
    {MapOperation::InterpolateRows, "MInterpolateRows", "Интерполировать по строкам",
     "Интерполировать", false},
    {MapOperation::InterpolateColumns, "MInterpolateCols", "Интерполировать по столбцам",
     "Интерполировать", false},
    {MapOperation::InterpolateRect, "MInterpolateRect", "Интерполировать по прямоугольнику",
     "Интерполировать", false},
    {MapOperation::Smooth, "MSmooth", "Сгладить", "Сгладить", false},
};

const OperationItem& Operation(int index) {
    return Operations[index];
}

QString Where(const TableTextError& e) {
    return QStringLiteral("строка %1, столбец %2").arg(e.line).arg(e.column);
}

// Warns of a value a cell cannot hold, naming the cell's range; true when there was one.
bool WarnOutOfRange(const MainFormDialogs& dialogs, QWidget* parent, MapKind kind,
                    const std::optional<ValueOutOfRange>& bad) {
    if (!bad)
        return false;
    const std::string separator(1, LocaleDecimalSeparator());
    QString value = QString::fromStdString(ShortestNumberText(bad->value));
    value.replace(QLatin1Char('.'), QString::fromStdString(separator));
    dialogs.Warn(parent,
                 QStringLiteral("Значение вне допустимого диапазона: %1 (строка %2, столбец "
                                "%3). Допустимо %4. Таблица не изменена.")
                     .arg(value)
                     .arg(bad->row + 1)
                     .arg(bad->col + 1)
                     .arg(QString::fromStdString(RangeText(kind, bad->limits, separator))));
    return true;
}

// Asks before an operation takes cells beyond their range to the nearest end, naming how many
// and the range of the first; true when there are none or the user agrees.
bool ConfirmClamping(const MainFormDialogs& dialogs, QWidget* parent, const FirmwareImage& image,
                     MapKind kind, CellRect rect, MapOperation op, double operand) {
    rect = ClipToTable(kind, rect);
    std::optional<ValueOutOfRange> first;
    const int count =
        CountFiniteOutOfRange(image, kind, rect.top, rect.left,
                              MapOperationValues(image, kind, rect, op, operand), first);
    if (count == 0)
        return true;
    const std::string separator(1, LocaleDecimalSeparator());
    return dialogs.ConfirmOutOfRange(
        parent, QStringLiteral("Ячеек вне допустимого диапазона: %1 (допустимо %2). Взять для "
                               "них ближайшее крайнее значение?")
                    .arg(count)
                    .arg(QString::fromStdString(RangeText(kind, first->limits, separator))));
}

// Why a paste was refused, in the user's words.
QString PasteRefusal(const TableTextError& e) {
    QString why;
    switch (e.fault) {
    case TableTextFault::NotNumber:
        why = QStringLiteral("«%1» — не число").arg(QString::fromStdString(e.field).trimmed());
        break;
    case TableTextFault::Ragged:
        why = QStringLiteral("в строках разное число значений");
        break;
    case TableTextFault::OutsideTable:
    case TableTextFault::WrongShape:
        why = QStringLiteral("текст не помещается в таблицу от текущей ячейки");
        break;
    case TableTextFault::None:
        break;
    }
    return QStringLiteral("Вставка отменена, таблица не изменена: %1: %2.").arg(Where(e), why);
}

} // namespace

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
    MStepUp = item("MStepUp", QStringLiteral("Увеличить на шаг"), QKeySequence(),
                   [this] { StepSelection(1); });
    MStepDown = item("MStepDown", QStringLiteral("Уменьшить на шаг"), QKeySequence(),
                     [this] { StepSelection(-1); });
    MEdit->addSeparator();
    QAction** targets[] = {&MSetValue,        &MAddValue,        &MMultiply, &MInterpolateRows,
                           &MInterpolateCols, &MInterpolateRect, &MSmooth};
    for (int i = 0; i < static_cast<int>(std::size(Operations)); ++i) {
        if (i == 3 || i == 6)
            MEdit->addSeparator();
        *targets[i] = item(Operations[i].name, QString::fromUtf8(Operations[i].text),
                           QKeySequence(), [this, i] { AskAndApply(i); });
    }
    MEdit->addSeparator();
    MCopy = item("MCopy", QStringLiteral("Копировать"), QKeySequence(Qt::CTRL | Qt::Key_C),
                 [this] { CopySelection(false); });
    MCopyWithAxes =
        item("MCopyWithAxes", QStringLiteral("Копировать с осями"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { CopySelection(true); });
    MPaste = item("MPaste", QStringLiteral("Вставить"), QKeySequence(Qt::CTRL | Qt::Key_V),
                  [this] { PasteText(QGuiApplication::clipboard()->text()); });
    MSelectAll =
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
    if (!cells.contains(SelCol, SelRow))
        return {SelRow, SelCol, SelRow, SelCol};
    return {cells.top(), cells.left(), cells.bottom(), cells.right()};
}

void TMainForm::ShowEditCount(const MapEditCount& count) {
    QString text = QStringLiteral("Изменено ячеек: %1").arg(count.changed);
    if (count.clamped > 0)
        text += QStringLiteral("; вне диапазона хранения, взято ближайшее крайнее значение: %1")
                    .arg(count.clamped);
    statusBar()->showMessage(text);
}

void TMainForm::SGValueEntered(const QString& text) {
    double value = 0;
    if (!ParseCellNumber(text.toStdString(), value)) {
        Dialogs.Warn(this, QStringLiteral("«%1» — не число. Значение не изменено.").arg(text));
        return;
    }
    ApplyOperation(0, value);
}

void TMainForm::StepSelection(int delta) {
    MapEditCount count;
    ApplyEdit(QStringLiteral("Шаг значения"),
              [&] { count = StepMapCells(*Image, CurrentMap, SelectedRect(), delta); });
    ShowEditCount(count);
}

void TMainForm::AskAndApply(int operation) {
    const OperationItem& item = Operation(operation);
    double operand = 0;
    if (item.asksNumber) {
        QString text = item.op == MapOperation::MultiplyPercent ? QStringLiteral("100")
                                                                : SG->Cell(SG->Col(), SG->Row());
        if (!Dialogs.AskNumber(this, QString::fromUtf8(item.step), text))
            return;
        if (!ParseCellNumber(text.toStdString(), operand)) {
            Dialogs.Warn(this, QStringLiteral("«%1» — не число. Таблица не изменена.").arg(text));
            return;
        }
    }
    ApplyOperation(operation, operand);
}

void TMainForm::ApplyOperation(int operation, double operand) {
    const OperationItem& item = Operation(operation);
    if (item.op == MapOperation::SetValue &&
        WarnOutOfRange(Dialogs, this, CurrentMap,
                       FindValueOutOfRange(*Image, CurrentMap, SelectedRect(), operand)))
        return;
    if (item.op != MapOperation::SetValue &&
        !ConfirmClamping(Dialogs, this, *Image, CurrentMap, SelectedRect(), item.op, operand))
        return;
    MapEditCount count;
    ApplyEdit(QString::fromUtf8(item.step), [&] {
        count = ApplyMapOperation(*Image, CurrentMap, SelectedRect(), item.op, operand);
    });
    ShowEditCount(count);
}

void TMainForm::CopySelection(bool withAxes) {
    const std::string text = SelectionText(*Image, CurrentMap, SelectedRect(),
                                           std::string(1, LocaleDecimalSeparator()), withAxes);
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void TMainForm::PasteText(const QString& text) {
    // Checked in full before the edit step, so a refused text leaves no step behind.
    TableTextError error;
    const CellValues values = ParseTableText(text.toStdString(), 0, error);
    if (error.fault == TableTextFault::None)
        FitsTable(values, CurrentMap, SelRow, SelCol, error);
    if (error.fault != TableTextFault::None) {
        Dialogs.Warn(this, PasteRefusal(error));
        return;
    }
    if (WarnOutOfRange(Dialogs, this, CurrentMap,
                       FindValueOutOfRange(*Image, CurrentMap, SelRow, SelCol, values)))
        return;
    MapEditCount count;
    ApplyEdit(QStringLiteral("Вставить"),
              [&] { count = StoreMapValues(*Image, CurrentMap, SelRow, SelCol, values); });
    ShowEditCount(count);
}
