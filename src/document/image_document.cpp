#include "document/image_document.h"

#include "document/edit_history.h"
#include "document/left_journals.h"
#include "image/edit_journal.h"
#include "image/edit_steps.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUndoStack>
#include <filesystem>
#include <stdexcept>

namespace {

QString ShortName(const QString& path) {
    return QFileInfo(path).fileName();
}

// True when both names stand for one existing file, through links and other spellings.
bool SameFile(const QString& a, const QString& b) {
    std::error_code ec;
    return !a.isEmpty() && !b.isEmpty() &&
           std::filesystem::equivalent(LocalPath(a), LocalPath(b), ec) && !ec;
}

} // namespace

ImageDocument::ImageDocument()
    : image_(std::make_unique<FirmwareImage>()), history_(std::make_unique<EditHistory>(*image_)) {}

ImageDocument::~ImageDocument() = default;

void ImageDocument::Adopt(const LoadedImage& loaded, const QString& fileName) {
    image_->AdoptLoad(*loaded.image);
    currentFile_ = fileName;
    loadedFile_ = fileName;
    loadWarning_ = loaded.warning;
    source_.clear();
}

void ImageDocument::AdoptUnitRead(const QString& source) {
    currentFile_.clear();
    loadedFile_.clear();
    loadWarning_.clear();
    source_ = source;
    history_->Stack()->resetClean(); // no step of the history is in a file now
    if (!history_->Journalling())
        StartUnsavedJournal();
}

void ImageDocument::AdoptJournalBase(const LeftJournal& journal) {
    const std::unique_ptr<FirmwareImage> base = FirmwareImage::FromBytes(journal.base.data());
    base->Loaded = true;
    base->Complete = true;
    history_->DiscardJournal();
    image_->AdoptLoad(*base);
    currentFile_.clear();
    loadedFile_.clear();
    loadWarning_.clear();
    source_ = journal.source;
    StartUnsavedJournal();
}

void ImageDocument::StartUnsavedJournal() {
    const QString path =
        JournalFolder() + QStringLiteral("/unsaved-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) +
        QStringLiteral(".journal");
    history_->StartUnsavedJournal(path, source_,
                                  {image_->Bytes(), image_->Bytes() + FirmwareImage::Size});
}

void ImageDocument::KeepJournalAside() {
    const QString path = JournalPathFor(currentFile_);
    if (!QFileInfo::exists(path))
        return;
    const QFileInfo info(path);
    QFile::rename(path, info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                            QStringLiteral("-kept-") +
                            QString::number(QDateTime::currentMSecsSinceEpoch()) +
                            QStringLiteral(".journal"));
}

QString ImageDocument::Title() const {
    return currentFile_.isEmpty() ? source_ : QFileInfo(currentFile_).fileName();
}

JournalOffer ImageDocument::ExamineJournal() {
    history_->DiscardJournal();
    JournalOffer offer;
    const QString path = JournalPathFor(currentFile_);
    const QFileInfo file(currentFile_);
    if (!QFileInfo::exists(path))
        return offer;
    try {
        const JournalContents journal = ReadJournal(LocalPath(path));
        // A journal of another file (or of this file before it was saved elsewhere) holds no
        // step newer than the file.
        if (journal.imageFile != file.absoluteFilePath().toStdString() ||
            journal.fileTimeMs != file.lastModified().toMSecsSinceEpoch())
            return offer;
        const ChangeSet changes = JournalChanges(journal);
        if (!HoldsBeforeBytes(*image_, changes))
            throw std::runtime_error("damaged journal: the file holds other bytes");
        if (changes.empty())
            return offer;
        offer.changes = changes;
        offer.question = QStringLiteral("Восстановить несохранённые изменения?"
                                        "\nФайл %1, изменено байт: %2.")
                             .arg(ShortName(currentFile_))
                             .arg(changes.size());
    } catch (const std::exception& e) {
        offer.damage = QStringLiteral("Журнал несохранённых изменений файла %1 повреждён "
                                      "и не будет использован.\n%2")
                           .arg(ShortName(currentFile_), QString::fromStdString(e.what()));
    }
    return offer;
}

void ImageDocument::StartJournal() {
    const QFileInfo file(currentFile_);
    history_->StartJournal(JournalPathFor(currentFile_), file.absoluteFilePath(),
                           file.lastModified().toMSecsSinceEpoch());
}

void ImageDocument::DiscardJournal() {
    history_->DiscardJournal();
}

std::optional<QString> ImageDocument::LoseChangesQuestion() const {
    if (currentFile_.isEmpty() && !source_.isEmpty())
        return QStringLiteral("Сохранить образ (%1)?").arg(source_);
    if (!image_->IsModified())
        return std::nullopt;
    return QStringLiteral("Сохранить изменения в файле ") + ShortName(currentFile_) + "?";
}

SavePlan ImageDocument::PlanSave(const QString& chosen) const {
    SavePlan plan{MakeSaveNames(chosen), {}};
    FirmwareImage::CheckSaveTarget(LocalPath(plan.names.bin));
    FirmwareImage::CheckSaveTarget(LocalPath(plan.names.hex));
    QStringList asked = {chosen};
    // An image read only in part holds less than the file it came from: replacing that file
    // loses what the image is missing.
    if (!image_->Complete && !loadWarning_.isEmpty()) {
        for (const QString& name : {plan.names.bin, plan.names.hex}) {
            if (!SameFile(name, loadedFile_))
                continue;
            plan.questions << loadWarning_ +
                                  QStringLiteral("\n\nФайл %1 будет заменён прочитанным образом, "
                                                 "и то, чего в образе нет, будет потеряно. "
                                                 "Заменить файл %1?")
                                      .arg(ShortName(name));
            asked << name;
        }
    }
    for (const QString& name : {plan.names.bin, plan.names.hex})
        if (!asked.contains(name) && QFileInfo::exists(name))
            plan.questions
                << QStringLiteral("%1 уже существует. Заменить его?").arg(ShortName(name));
    return plan;
}

void ImageDocument::Save(const SaveNames& names) {
    history_->Record(QStringLiteral("Контрольная сумма"), [this] { image_->UpdateChecksum(); });
    image_->SaveBinAndHex(LocalPath(names.bin), LocalPath(names.hex));
    image_->MarkSaved();
    history_->Stack()->setClean(); // the history list marks the step the files now hold
    currentFile_ = names.hex;
    source_.clear();
    // The file now holds every change: the journal starts again, for the file saved.
    history_->DiscardJournal();
    StartJournal();
}
