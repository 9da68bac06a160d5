// Reading image files for the document and the comparison, and the warning texts of a file that
// does not give a whole image.
#include "document/image_loading.h"
#include "document/save_names.h"

#include "image/hex_format.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <vector>

namespace {

QString StopText(HexStop stop) {
    switch (stop) {
    case HexStop::None:
        break;
    case HexStop::BlankLine:
        return QStringLiteral("пустая строка");
    case HexStop::NoRecordMark:
        return QStringLiteral("нет знака начала записи «:»");
    case HexStop::BadDigit:
        return QStringLiteral("символ, не являющийся шестнадцатеричной цифрой");
    case HexStop::LineTooLong:
        return QStringLiteral("строка длиннее 254 символов");
    case HexStop::AddressAbove8000:
        return QStringLiteral("адрес записи больше 0x8000");
    case HexStop::LengthMismatch:
        return QStringLiteral("длина записи не совпадает с числом её байтов");
    case HexStop::BadChecksum:
        return QStringLiteral("неверная контрольная сумма записи");
    case HexStop::BadExtendedAddress:
        return QStringLiteral("запись старшего адреса без двухбайтового значения");
    }
    return QString();
}

// A few ranges are enough to see what is wrong; the rest are only counted.
QString RangesText(const std::vector<AddressRange>& ranges) {
    constexpr std::size_t Shown = 4;
    QString text = QString::fromStdString(FormatAddressRanges(ranges, Shown));
    if (ranges.size() > Shown)
        text += QStringLiteral(" и ещё %1").arg(ranges.size() - Shown);
    return text;
}

// The warning about a HEX file that did not give a whole image, naming everything the load
// found wrong.
QString IncompleteHexWarning(const QString& fileName, const HexLoadResult& result) {
    const QString name = QFileInfo(fileName).fileName();
    const bool noData = GaveNoImageData(result);
    if (noData && result.stop == HexStop::None && result.outside.empty())
        return QStringLiteral("Файл %1 не содержит данных образа памяти: все байты образа "
                              "заполнены нулями.")
            .arg(name);
    QStringList lines;
    if (result.stop != HexStop::None)
        lines << QStringLiteral("Файл %1 прочитан не полностью: чтение остановлено в строке %2 "
                                "(%3). Данные после этой строки не загружены.")
                     .arg(name)
                     .arg(result.line)
                     .arg(StopText(result.stop));
    else
        lines << QStringLiteral("Файл %1 прочитан не полностью.").arg(name);
    if (noData)
        lines << QStringLiteral("Из файла не получено ни одного байта образа памяти.");
    else if (!result.missing.empty())
        lines << QStringLiteral("Нет данных по адресам: %1.").arg(RangesText(result.missing));
    if (!result.outside.empty())
        lines << QStringLiteral("Данные вне образа памяти не загружены: %1.")
                     .arg(RangesText(result.outside));
    if (!result.endRecord)
        lines << QStringLiteral("В файле нет записи конца файла.");
    if (!result.missing.empty())
        lines << QStringLiteral("Недостающие байты заполнены нулями.");
    return lines.join('\n');
}

// A binary file of another size is loaded all the same, but a cut file must never pass for a
// whole image: it could be programmed into a unit.
QString WrongSizeWarning(const QString& fileName) {
    const qint64 size = QFileInfo(fileName).size();
    return QStringLiteral("Размер файла %1 — %2 байт, а образ памяти занимает %3 байт. %4")
        .arg(QFileInfo(fileName).fileName())
        .arg(size)
        .arg(FirmwareImage::Size)
        .arg(size < qint64(FirmwareImage::Size)
                 ? QStringLiteral("Недостающие байты заполнены нулями.")
                 : QStringLiteral("Лишние байты не загружены."));
}

} // namespace

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

std::optional<ImageFormat> FormatByExtension(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("hex"), Qt::CaseInsensitive) == 0)
        return ImageFormat::Hex;
    if (suffix.compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0)
        return ImageFormat::Bin;
    return std::nullopt;
}

ImageFormat FormatForOpen(const QString& fileName, int filterIndex) {
    return FormatByExtension(fileName).value_or(filterIndex == 1 ? ImageFormat::Hex
                                                                 : ImageFormat::Bin);
}

ImageFormat FormatForName(const QString& fileName) {
    return FormatByExtension(fileName).value_or(ImageFormat::Bin);
}

LoadedImage LoadImageFile(const QString& fileName, ImageFormat format) {
    LoadedImage loaded{std::make_unique<FirmwareImage>(), QString()};
    if (format == ImageFormat::Hex) {
        const HexLoadResult result = loaded.image->LoadHex(LocalPath(fileName));
        if (!result.complete)
            loaded.warning = IncompleteHexWarning(fileName, result);
    } else {
        loaded.image->LoadBin(LocalPath(fileName));
        if (!loaded.image->Complete)
            loaded.warning = WrongSizeWarning(fileName);
    }
    return loaded;
}

QString ChecksumWarning(const FirmwareImage& image, const QString& fileName) {
    if (!image.Complete)
        return {};
    const uint16_t stored = image.StoredChecksum();
    const uint16_t computed = image.ComputeChecksum();
    if (stored == computed)
        return {};
    auto hex = [](uint16_t v) {
        return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(4, '0');
    };
    return QStringLiteral("В файле %1 записана контрольная сумма калибровок %2, а по данным "
                          "образа выходит %3. Образ мог быть изменён другой программой или "
                          "повреждён; проверьте его. При сохранении будет записана сумма %3.")
        .arg(QFileInfo(fileName).fileName(), hex(stored), hex(computed));
}

QString CompanionFile(const QString& fileName) {
    // The other name a save of this file writes, so that the warning looks where the save
    // would write ("a.Hex" goes with "a.Bin").
    const QString suffix = QFileInfo(fileName).suffix();
    const SaveNames names = MakeSaveNames(fileName);
    QString companion;
    if (suffix.compare(QLatin1String("hex"), Qt::CaseInsensitive) == 0)
        companion = names.bin;
    else if (suffix.compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0)
        companion = names.hex;
    return !companion.isEmpty() && QFileInfo(companion).isFile() ? companion : QString();
}

QString PairWarning(const FirmwareImage& image, const QString& fileName) {
    const QString companion = CompanionFile(fileName);
    if (companion.isEmpty())
        return {};
    try {
        const LoadedImage other = LoadImageFile(companion, FormatForName(companion));
        if (!other.image->Complete)
            return {};
        int differing = 0;
        for (std::size_t a = 0; a < FirmwareImage::Size; ++a)
            differing += image.Bytes()[a] != other.image->Bytes()[a];
        if (differing == 0)
            return {};
        return QStringLiteral("Файлы %1 и %2 содержат разные образы (различных байт: %3); открыт "
                              "%1. Сохранение запишет открытый образ в оба файла.")
            .arg(QFileInfo(fileName).fileName(), QFileInfo(companion).fileName())
            .arg(differing);
    } catch (const std::exception&) {
        return {};
    }
}
