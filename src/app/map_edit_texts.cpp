#include "app/map_edit_texts.h"

const MapEditOperation MapEditOperations[7] = {
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

QString EditCountText(const MapEditCount& count) {
    QString text = QStringLiteral("Изменено ячеек: %1").arg(count.changed);
    if (count.clamped > 0)
        text += QStringLiteral("; вне диапазона хранения, взято ближайшее крайнее значение: %1")
                    .arg(count.clamped);
    return text;
}

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
