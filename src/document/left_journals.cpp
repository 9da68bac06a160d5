#include "document/left_journals.h"

#include "document/image_loading.h"
#include "image/edit_journal.h"
#include "image/edit_steps.h"
#include "image/firmware_image.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <exception>

QString JournalFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/journals");
}

namespace {

// The file a journal belongs to, loaded as it is now, still holds what the journal's changes
// started from.
bool FileStillFits(const JournalContents& journal, const ChangeSet& changes) {
    const QString name = QString::fromStdString(journal.imageFile);
    const QFileInfo file(name);
    if (!file.isFile() || file.lastModified().toMSecsSinceEpoch() != journal.fileTimeMs)
        return false;
    const QString suffix = file.suffix().toLower();
    const LoadedImage loaded =
        LoadImageFile(name, suffix == QLatin1String("hex") ? ImageFormat::Hex : ImageFormat::Bin);
    return HoldsBeforeBytes(*loaded.image, changes);
}

} // namespace

std::vector<LeftJournal> FindLeftJournals(const QString& folder) {
    std::vector<LeftJournal> found;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : files) {
        const std::string path = LocalPath(info.absoluteFilePath());
        if (!info.isFile() || JournalInUse(path))
            continue;
        try {
            const JournalContents journal = ReadJournal(path);
            LeftJournal left;
            left.changes = JournalChanges(journal);
            if (left.changes.empty())
                continue;
            if (journal.base.empty()) {
                if (!FileStillFits(journal, left.changes))
                    continue;
            } else {
                const std::unique_ptr<FirmwareImage> base =
                    FirmwareImage::FromBytes(journal.base.data());
                if (!HoldsBeforeBytes(*base, left.changes))
                    continue;
            }
            left.path = info.absoluteFilePath();
            left.imageFile = QString::fromStdString(journal.imageFile);
            left.source = QString::fromStdString(journal.source);
            left.base = journal.base;
            left.lastChange = QDateTime::fromMSecsSinceEpoch(journal.steps.back().timeMs);
            found.push_back(std::move(left));
        } catch (const std::exception&) {
            // A damaged journal is kept for whoever wants to look at it, but not offered.
        }
    }
    std::sort(found.begin(), found.end(), [](const LeftJournal& a, const LeftJournal& b) {
        return a.lastChange > b.lastChange;
    });
    return found;
}

QString LeftJournalText(const LeftJournal& journal) {
    const QString what =
        journal.imageFile.isEmpty()
            ? QStringLiteral("образ без файла (%1)").arg(journal.source)
            : QStringLiteral("файл %1").arg(QDir::toNativeSeparators(journal.imageFile));
    return QStringLiteral("Найдены несохранённые изменения: %1, изменено байт: %2, последнее "
                          "изменение %3.")
        .arg(what)
        .arg(journal.changes.size())
        .arg(journal.lastChange.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
}
