// File commands of the main window: open, save, help and the close question.
#include "app/main_form.h"

#include "app/edit_history.h"
#include "app/save_names.h"
#include "image/edit_journal.h"
#include "image/hex_format.h"
#include "maps/view/map_grid.h"
#include "ui/app_settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <filesystem>
#include <optional>

namespace {

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString ShortName(const QString& path) {
    return QFileInfo(path).fileName();
}

// The content a name's extension promises: ".hex" HEX, ".bin" binary, in any case.
std::optional<bool> HexByExtension(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("hex"), Qt::CaseInsensitive) == 0)
        return true;
    if (suffix.compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// True when both names stand for one existing file, through links and other spellings.
bool SameFile(const QString& a, const QString& b) {
    std::error_code ec;
    return !a.isEmpty() && !b.isEmpty() &&
           std::filesystem::equivalent(LocalPath(a), LocalPath(b), ec) && !ec;
}

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

} // namespace

void TMainForm::AOpenExecute() {
    Guard([this] { OpenCommand(); });
}

void TMainForm::ASaveExecute() {
    Guard([this] { SaveCommand(); });
}

void TMainForm::AHelpExecute() {
    Guard([this] { Dialogs.ShowHelp(this); });
}

void TMainForm::OpenFromCommandLine(const QString& fileName) {
    Guard([&] {
        OpenFile(fileName, HexByExtension(fileName).value_or(false) ? Loader::Hex : Loader::Bin);
    });
}

void TMainForm::OpenRecentFile(const QString& fileName) {
    if (!QFileInfo(fileName).isFile()) {
        AppSettings().RemoveRecentFile(fileName);
        FillRecentMenu();
        Dialogs.Warn(this, QStringLiteral("Файл %1 не найден. Он удалён из списка последних "
                                          "файлов.")
                               .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    // Unsaved edits are never dropped silently by opening another file.
    if (!ConfirmLoseChanges())
        return;
    OpenFile(fileName, HexByExtension(fileName).value_or(false) ? Loader::Hex : Loader::Bin);
}

void TMainForm::OpenCommand() {
    // Unsaved edits are never dropped silently by opening another file.
    if (!ConfirmLoseChanges())
        return;
    QString fileName;
    if (const std::optional<Loader> loader = ChooseFile(fileName))
        OpenFile(fileName, *loader);
}

std::unique_ptr<FirmwareImage> TMainForm::LoadFile(const QString& fileName, Loader loader,
                                                   QString& warning) {
    auto scratch = std::make_unique<FirmwareImage>();
    HexLoadResult result;
    if (loader == Loader::Hex)
        result = scratch->LoadHex(LocalPath(fileName));
    else
        scratch->LoadBin(LocalPath(fileName));
    warning.clear();
    if (loader == Loader::Hex && !result.complete)
        warning = IncompleteHexWarning(fileName, result);
    // A binary file of another size is loaded all the same, but a cut file must never pass
    // for a whole image: it could be programmed into a unit.
    const qint64 size = QFileInfo(fileName).size();
    if (loader == Loader::Bin && !scratch->Complete)
        warning = QStringLiteral("Размер файла %1 — %2 байт, а образ памяти занимает "
                                 "%3 байт. %4")
                      .arg(QFileInfo(fileName).fileName())
                      .arg(size)
                      .arg(FirmwareImage::Size)
                      .arg(size < qint64(FirmwareImage::Size)
                               ? QStringLiteral("Недостающие байты заполнены нулями.")
                               : QStringLiteral("Лишние байты не загружены."));
    return scratch;
}

std::optional<TMainForm::Loader> TMainForm::ChooseFile(QString& fileName) {
    int filterIndex = 1;
    if (!Dialogs.OpenFile(this, fileName, filterIndex))
        return std::nullopt;
    // A ".hex" or ".bin" name says what the file holds, whatever filter entry is chosen; any
    // other name is read as the entry says, binary under "All Files" as on the command line.
    const std::optional<bool> hex = HexByExtension(fileName);
    const bool readHex = hex ? *hex : filterIndex == 1;
    return readHex ? Loader::Hex : Loader::Bin;
}

void TMainForm::OpenFile(const QString& fileName, Loader loader) {
    // Load into a scratch image first: a file that fails to load leaves the current image,
    // CurrentFile, caption and grid exactly as they were.
    QString warning;
    const std::unique_ptr<FirmwareImage> scratch = LoadFile(fileName, loader, warning);

    Image->AdoptLoad(*scratch);
    CurrentFile = fileName;
    LoadedFile = fileName;
    UpdateCaption(fileName);
    RememberRecentFile(fileName);
    ShowMap(CurrentMap);
    FitView();
    SG->setFocus(); // the keypad edits the grid straight away
    RecoverJournal(fileName);
    LoadWarning = warning;
    if (!LoadWarning.isEmpty())
        Dialogs.Warn(this, LoadWarning);
}

bool TMainForm::SaveCommand() {
    QString chosen = CurrentFile;
    if (!Dialogs.SaveFile(this, chosen))
        return false;
    const SaveNames names = MakeSaveNames(chosen);
    // What cannot be saved at all (a missing folder, a device, a read-only file) is said at once,
    // not after questions about replacing it.
    FirmwareImage::CheckSaveTarget(LocalPath(names.bin));
    FirmwareImage::CheckSaveTarget(LocalPath(names.hex));
    if (!ConfirmSaveOver(chosen, names))
        return false;
    History->Record(QStringLiteral("Контрольная сумма"), [this] { Image->UpdateChecksum(); });
    Image->SaveBinAndHex(LocalPath(names.bin), LocalPath(names.hex));
    Image->MarkSaved();
    CurrentFile = names.hex;
    UpdateCaption(CurrentFile);
    RememberRecentFile(CurrentFile);
    // The file now holds every change: the journal starts again, for the file saved.
    History->DiscardJournal();
    StartJournal(CurrentFile);
    RefreshAfterEdit();
    return true;
}

void TMainForm::StartJournal(const QString& fileName) {
    const QFileInfo file(fileName);
    History->StartJournal(JournalPathFor(fileName), file.absoluteFilePath(),
                          file.lastModified().toMSecsSinceEpoch());
}

void TMainForm::RecoverJournal(const QString& fileName) {
    // What the previous file's journal held is saved or given up by now.
    History->DiscardJournal();
    const QString path = JournalPathFor(fileName);
    const QFileInfo file(fileName);
    std::optional<ChangeSet> restore;
    if (QFileInfo::exists(path)) {
        try {
            const JournalContents journal = ReadJournal(LocalPath(path));
            // A journal of another file (or of this file before it was saved elsewhere) holds
            // no step newer than the file.
            if (journal.imageFile == file.absoluteFilePath().toStdString() &&
                journal.fileTimeMs == file.lastModified().toMSecsSinceEpoch()) {
                const ChangeSet changes = JournalChanges(journal);
                if (!HoldsBeforeBytes(*Image, changes))
                    throw std::runtime_error("damaged journal: the file holds other bytes");
                if (!changes.empty())
                    restore = changes;
            }
        } catch (const std::exception& e) {
            Dialogs.Warn(this, QStringLiteral("Журнал несохранённых изменений файла %1 повреждён "
                                              "и не будет использован.\n%2")
                                   .arg(ShortName(fileName), QString::fromStdString(e.what())));
        }
    }
    const bool accepted =
        restore && Dialogs.AskRestore(this, QStringLiteral("Восстановить несохранённые изменения?"
                                                           "\nФайл %1, изменено байт: %2.")
                                                .arg(ShortName(fileName))
                                                .arg(restore->size()));
    StartJournal(fileName);
    if (accepted)
        ApplyEdit(QStringLiteral("Восстановление несохранённых изменений"),
                  [&] { WriteAfterBytes(*Image, *restore); });
    else
        UpdateEditState();
}

// The save dialog has asked about the name typed there; this asks about the rest of what the
// save replaces, each file once. True when the save may go on.
bool TMainForm::ConfirmSaveOver(const QString& chosen, const SaveNames& names) {
    QStringList asked = {chosen};
    // An image read only in part holds less than the file it came from: replacing that file
    // loses what the image is missing.
    if (!Image->Complete && !LoadWarning.isEmpty()) {
        for (const QString& name : {names.bin, names.hex}) {
            if (!SameFile(name, LoadedFile))
                continue;
            const QString text =
                LoadWarning +
                QStringLiteral("\n\nФайл %1 будет заменён прочитанным образом, и то, чего в "
                               "образе нет, будет потеряно. Заменить файл %1?")
                    .arg(ShortName(name));
            if (!Dialogs.ConfirmReplace(this, text))
                return false;
            asked << name;
        }
    }
    for (const QString& name : {names.bin, names.hex}) {
        if (asked.contains(name) || !QFileInfo::exists(name))
            continue;
        if (!Dialogs.ConfirmReplace(
                this, QStringLiteral("%1 уже существует. Заменить его?").arg(ShortName(name))))
            return false;
    }
    return true;
}

void TMainForm::UpdateCaption(const QString& fileName) {
    setWindowTitle(MainCaption + QStringLiteral(" - ") + ShortName(fileName) +
                   QStringLiteral("[*]"));
}

// Asks whether to save unsaved edits. True when the caller may go on: nothing was changed,
// the user said No, or the save went through. Cancel, a cancelled save dialog and a failed
// save (which throws) keep the edits.
bool TMainForm::ConfirmLoseChanges() {
    if (!Image->IsModified())
        return true;
    const QString text =
        QStringLiteral("Сохранить изменения в файле ") + ShortName(CurrentFile) + "?";
    switch (Dialogs.AskSave(text)) {
    case SaveAnswer::No:
        return true;
    case SaveAnswer::Yes:
        return SaveCommand();
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool TMainForm::FormCloseQuery() {
    return ConfirmLoseChanges();
}
