#include "app/map_edit_texts.h"

#include "ui/decimal_separator.h"

#include <algorithm>
#include <string>

const MapEditOperation MapEditOperations[7] = {
    {MapOperation::SetValue, "MSetValue", "Установить значение…", "Установить значение", true,
     "Ctrl+E"},
    {MapOperation::Add, "MAddValue", "Прибавить…", "Прибавить", true, "Ctrl+D"},
    {MapOperation::MultiplyPercent, "MMultiply", "Умножить на %…", "Умножить на %", true, "Ctrl+M"},
    {MapOperation::InterpolateRows, "MInterpolateRows", "Интерполировать по строкам",
     "Интерполировать", false, "Ctrl+H"},
    {MapOperation::InterpolateColumns, "MInterpolateCols", "Интерполировать по столбцам",
     "Интерполировать", false, "Ctrl+J"},
    {MapOperation::InterpolateRect, "MInterpolateRect", "Интерполировать по прямоугольнику",
     "Интерполировать", false, "Ctrl+I"},
    {MapOperation::Smooth, "MSmooth", "Сгладить", "Сгладить", false, "Ctrl+L"},
};

QString EditCountText(const MapEditCount& count) {
    QString text = QStringLiteral("Изменено ячеек: %1").arg(count.changed);
    if (count.clamped > 0)
        text += QStringLiteral("; вне диапазона хранения, взято ближайшее крайнее значение: %1")
                    .arg(count.clamped);
    return text;
}

namespace {

QString OutOfRangeText(MapKind kind, const ValueOutOfRange& bad) {
    const std::string separator(1, LocaleDecimalSeparator());
    QString value = QString::fromStdString(ShortestNumberText(bad.value));
    value.replace(QLatin1Char('.'), QString::fromStdString(separator));
    return QStringLiteral("Значение вне допустимого диапазона: %1 (строка %2, столбец %3). "
                          "Допустимо %4. Таблица не изменена.")
        .arg(value)
        .arg(bad.row + 1)
        .arg(bad.col + 1)
        .arg(QString::fromStdString(RangeText(kind, bad.limits, separator)));
}

// Why a paste was refused for text that is not a table fitting from the current cell.
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
    return QStringLiteral("Вставка отменена, таблица не изменена: строка %1, столбец %2: %3.")
        .arg(e.line)
        .arg(e.column)
        .arg(why);
}

} // namespace

EditCheck CheckOperation(const FirmwareImage& image, MapKind kind, CellRect rect, MapOperation op,
                         double operand, const std::optional<WarningLimits>& warning) {
    rect = ClipToTable(kind, rect);
    if (op == MapOperation::SetValue) {
        if (const std::optional<ValueOutOfRange> bad =
                FindValueOutOfRange(image, kind, rect, operand))
            return {OutOfRangeText(kind, *bad), QString()};
        const CellValues values(
            static_cast<std::size_t>(std::max(0, rect.bottom - rect.top + 1)),
            std::vector<std::optional<double>>(
                static_cast<std::size_t>(std::max(0, rect.right - rect.left + 1)), operand));
        return {QString(), WarningQuestion(kind, rect.top, rect.left, values, warning)};
    }
    const CellValues values = MapOperationValues(image, kind, rect, op, operand);
    std::optional<ValueOutOfRange> first;
    const int count = CountFiniteOutOfRange(image, kind, rect.top, rect.left, values, first);
    const QString beyondWarning = WarningQuestion(kind, rect.top, rect.left, values, warning);
    if (count == 0)
        return {QString(), beyondWarning};
    const std::string separator(1, LocaleDecimalSeparator());
    QString question = QStringLiteral("Ячеек вне допустимого диапазона: %1 (допустимо %2). Взять "
                                      "для них ближайшее крайнее значение?")
                           .arg(count)
                           .arg(QString::fromStdString(RangeText(kind, first->limits, separator)));
    if (!beyondWarning.isEmpty())
        question = beyondWarning + QStringLiteral("\n\n") + question;
    return {QString(), question};
}

QString WarningQuestion(MapKind kind, int top, int left, const CellValues& values,
                        const std::optional<WarningLimits>& warning) {
    if (!warning)
        return QString();
    std::optional<ValueOutOfRange> first;
    const int count = CountBeyondWarning(kind, top, left, values, *warning, first);
    if (count == 0)
        return QString();
    const std::string separator(1, LocaleDecimalSeparator());
    return QStringLiteral("Ячеек за пределами предупреждения: %1 (пределы %2). Всё равно "
                          "записать?")
        .arg(count)
        .arg(QString::fromStdString(RangeText(kind, first->limits, separator)));
}

std::optional<QString> CheckPaste(const FirmwareImage& image, MapKind kind, int row, int col,
                                  const std::string& text, CellValues& values) {
    TableTextError error;
    values = ParsePastedText(text, error);
    if (error.fault == TableTextFault::None)
        FitsTable(values, kind, row, col, error);
    if (error.fault != TableTextFault::None)
        return PasteRefusal(error);
    if (const std::optional<ValueOutOfRange> bad =
            FindValueOutOfRange(image, kind, row, col, values))
        return OutOfRangeText(kind, *bad);
    return std::nullopt;
}

QString OperandLabel(MapOperation op, MapKind kind) {
    QString unit = QString::fromUtf8(GetMapInfo(kind).unit);
    QString what = QStringLiteral("Значение");
    if (op == MapOperation::Add) {
        what = QStringLiteral("Прибавить");
    } else if (op == MapOperation::MultiplyPercent) {
        what = QStringLiteral("Умножить на");
        unit = QStringLiteral("%");
    }
    return unit.isEmpty() ? what + QLatin1Char(':') : what + QStringLiteral(", ") + unit + ':';
}

QString OperandStart(MapOperation op, const QString& currentCell, const QString& lastAddend) {
    switch (op) {
    case MapOperation::Add:
        return lastAddend.isEmpty() ? QStringLiteral("0") : lastAddend;
    case MapOperation::MultiplyPercent:
        return QStringLiteral("100");
    default:
        return currentCell;
    }
}

std::optional<QString> CheckDifferenceEntry(const FirmwareImage& image,
                                            const FirmwareImage& reference, MapKind kind,
                                            CellRect rect, double delta, CellValues& values) {
    rect = ClipToTable(kind, rect);
    values = MapOperationValues(reference, kind, rect, MapOperation::Add, delta);
    if (const std::optional<ValueOutOfRange> bad =
            FindValueOutOfRange(image, kind, rect.top, rect.left, values))
        return OutOfRangeText(kind, *bad);
    return std::nullopt;
}
