#include "document/keypad_step.h"

#include "document/edit_history.h"
#include "document/image_document.h"
#include "maps/cell_edit.h"

#include <QDateTime>

int32_t RecordKeypadPress(ImageDocument& doc, const KeypadPress& press,
                          const std::string& decimalSeparator) {
    FirmwareImage& image = doc.Image();
    const MapInfo& info = GetMapInfo(press.map);
    const bool inTable =
        press.row >= 0 && press.col >= 0 && press.row < info.rows && press.col < info.cols;
    auto cellText = [&] {
        return inTable ? QString::fromStdString(FormatMapCell(image, press.map, press.row,
                                                              press.col, decimalSeparator))
                       : QString();
    };
    const QString before = cellText();
    int32_t raw = press.raw;
    doc.History().Record(
        [&] { raw = StepCellRaw(image, press.width, press.address, press.raw, press.delta); },
        [&] {
            StepInfo step;
            step.cell = {static_cast<int>(press.map), press.row, press.col};
            step.keypad = KeypadStep{static_cast<int>(press.map), press.address,
                                     QDateTime::currentMSecsSinceEpoch()};
            QString place = QString::number(MapRowLabel(image, press.map, press.row));
            if (info.colAxis != MapAxis::None)
                place += QStringLiteral("/%1").arg(MapColLabel(image, press.map, press.col));
            step.keypadPrefix = QString::fromUtf8(info.caption) + QStringLiteral(" ") + place +
                                QStringLiteral(": ");
            step.keypadBefore = before;
            step.keypadAfter = cellText();
            return step;
        });
    return raw;
}
