#include "programmer/view/program_failure.h"

#include "image/firmware_image.h"
#include "maps/byte_owner.h"

#include <vector>

namespace {

// How many differing bytes the box lists one by one before it only counts the rest.
constexpr std::size_t ListedBytes = 20;

const QString WayOut = QStringLiteral("Не выключайте зажигание, проверьте соединение и нажмите "
                                      "«Программирование» ещё раз.");

QString Hex(uint32_t value, int digits) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

QString OwnerText(const FirmwareImage& image, uint32_t address) {
    const ByteOwner owner = OwnerOfByte(image, address);
    switch (owner.kind) {
    case ByteOwner::Kind::MapCell: {
        QString text = QString::fromUtf8(GetMapInfo(owner.map).caption) + QLatin1Char(' ') +
                       QString::number(owner.rowLabel);
        if (owner.hasColumn)
            text += QLatin1Char('/') + QString::number(owner.colLabel);
        return text;
    }
    case ByteOwner::Kind::Ident:
        return QStringLiteral("идентификация, %1")
            .arg(QString::fromLatin1(FirmwareImage::IdentName(owner.field)));
    case ByteOwner::Kind::Equipment:
        return QStringLiteral("комплектация");
    case ByteOwner::Kind::Checksum:
        return QStringLiteral("контрольная сумма");
    case ByteOwner::Kind::Other:
        break;
    }
    return QStringLiteral("код или прочие данные");
}

QString DifferingBytes(const prog::ProgramReport& report, const FirmwareImage& image,
                       const uint8_t* readBack) {
    QString text;
    const std::vector<uint32_t>& at = report.differingOffsets;
    for (std::size_t i = 0; i < at.size() && i < ListedBytes; ++i)
        text +=
            QStringLiteral("\n%1 — %2 (в образе %3, в ЭБУ %4)")
                .arg(Hex(at[i], 4), OwnerText(image, at[i]),
                     Hex(image.ReadByte(static_cast<uint16_t>(at[i])), 2), Hex(readBack[at[i]], 2));
    if (at.size() > ListedBytes)
        text += QStringLiteral("\n… и ещё %1").arg(at.size() - ListedBytes);
    return text;
}

} // namespace

ProgramFailureNotice DescribeProgramFailure(const prog::ProgramReport& report,
                                            const FirmwareImage& image, const uint8_t* readBack,
                                            const QString& backup, const QString& portReason) {
    using prog::UnitState;
    ProgramFailureNotice n;
    switch (report.state) {
    case UnitState::Untouched:
        n.icon = QMessageBox::Warning;
        n.line = QStringLiteral(" Ошибка защиты, ЭБУ не изменён");
        n.text = QStringLiteral("Ошибка защиты.\n\nЭБУ не изменён: ничего не стёрто и не "
                                "записано. Проверьте соединение и нажмите «Программирование» "
                                "ещё раз.");
        break;
    case UnitState::Erased:
        n.line = QStringLiteral(" Ошибка стирания ЭБУ");
        n.text = QStringLiteral("Ошибка стирания ЭБУ.\n\n") +
                 (report.erasedSectors == 0
                      ? QStringLiteral("ЭБУ мог быть частично стёрт (стирание сектора 0 не "
                                       "удалось), образ не записан: ЭБУ может не работать. ")
                      : QStringLiteral("ЭБУ стёрт (секторов стёрто: %1 из %2, стирание сектора "
                                       "%1 не удалось), образ не записан: в таком виде ЭБУ не "
                                       "работает. ")
                            .arg(report.erasedSectors)
                            .arg(prog::SectorCount)) +
                 WayOut;
        break;
    case UnitState::PartlyProgrammed:
        n.line = QStringLiteral(" Ошибка программирования");
        n.text = QStringLiteral("Ошибка программирования.\n\nЭБУ стёрт и записан частично "
                                "(до %1): в таком виде ЭБУ не работает. ")
                     .arg(Hex(report.writtenUpTo, 4)) +
                 WayOut;
        break;
    case UnitState::Unverified:
        n.line = QStringLiteral(" Ошибка проверки");
        n.text = QStringLiteral("Ошибка проверки.\n\nОбраз записан в ЭБУ, но проверочное чтение "
                                "не удалось: содержимое ЭБУ не подтверждено. ") +
                 WayOut;
        break;
    case UnitState::Differs:
        n.line = QStringLiteral(" Ошибка сравнения");
        n.asksToProgramAgain = true;
        n.text = QStringLiteral("Ошибка сравнения.\n\nОбраз записан в ЭБУ, но проверочное "
                                "чтение нашло отличающихся байт: %1.")
                     .arg(report.differences) +
                 DifferingBytes(report, image, readBack);
        break;
    case UnitState::Programmed:
        break;
    }
    if (!portReason.isEmpty())
        n.text += QStringLiteral("\n\nПричина: ") + portReason;
    if (!backup.isEmpty())
        n.text += QStringLiteral("\n\nРезервная копия прежнего содержимого ЭБУ: ") + backup;
    if (n.asksToProgramAgain)
        n.text += QStringLiteral("\n\nНе выключайте зажигание. Записать образ в ЭБУ ещё раз?");
    return n;
}
