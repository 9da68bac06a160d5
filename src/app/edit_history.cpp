// The edit history: change sets of the image as steps of a QUndoStack, and their journal.
#include "app/edit_history.h"

#include "image/firmware_image.h"
#include "image/stored_changes.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUndoStack>
#include <exception>
#include <memory>
#include <stdexcept>

namespace {

constexpr int KeypadStepId = 1;

int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

// One step: the bytes it changed, before and after. Undo writes the before bytes, redo the
// after bytes; the first redo, made by QUndoStack::push, finds them written already. A long
// history holds many of these, so a step keeps only its name (the command's text), its cell
// packed small and its bytes inline; what a merge needs lives only while the step is the last.
class ImageStep : public QUndoCommand {
public:
    ImageStep(EditHistory& history, const StepInfo& info, const ChangeSet& changes)
        : history_(history), changes_(changes), map_(static_cast<int16_t>(info.cell.map)),
          row_(static_cast<int16_t>(info.cell.row)), col_(static_cast<int16_t>(info.cell.col)) {
        SetName(info.name);
        if (info.keypad)
            merge_ = std::make_unique<Merge>(
                Merge{*info.keypad, info.keypadPrefix, info.keypadBefore, info.keypadAfter});
    }

    // Once another step follows, this one can no longer merge: what a merge needs goes.
    void Settle() { merge_.reset(); }

    void undo() override {
        history_.ApplyStep(text(), changes_.Changes(), false, Cell());
        history_.SetLastApplied(nullptr);
    }
    void redo() override {
        if (pushed_) {
            history_.ApplyStep(text(), changes_.Changes(), true, Cell());
            history_.SetLastApplied(this);
        }
        pushed_ = true;
    }
    int id() const override { return merge_ ? KeypadStepId : -1; }

    // Only onto the change the journal holds last, so that its merge record amends this step.
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const ImageStep*>(other);
        if (history_.LastApplied() != this || !merge_ || !next->merge_ ||
            !KeypadStepsMerge(merge_->keypad, next->merge_->keypad))
            return false;
        const ChangeSet combined = CombineChangeSets(changes_.Changes(), next->changes_.Changes());
        changes_.Assign(combined);
        merge_->keypad = next->merge_->keypad;
        merge_->after = next->merge_->after;
        SetName(merge_->prefix + merge_->before + QStringLiteral(" → ") + merge_->after);
        setObsolete(combined.empty()); // pressed back to where it began: no step at all
        history_.merged_ = true;
        history_.JournalAmend(text(), combined);
        return true;
    }

private:
    // A keypad press's merge data: the name is prefix + the first press's before + " → " + the
    // last press's after.
    struct Merge {
        KeypadStep keypad;
        QString prefix;
        QString before;
        QString after;
    };

    // The name is kept for the life of the step: no spare capacity from its building.
    void SetName(QString name) {
        name.squeeze();
        setText(name);
    }
    StepCell Cell() const { return {map_, row_, col_}; }

    EditHistory& history_;
    std::unique_ptr<Merge> merge_;
    StoredChanges changes_;
    int16_t map_;
    int16_t row_;
    int16_t col_;
    bool pushed_ = false;
};

EditHistory::EditHistory(FirmwareImage& image, QObject* parent)
    : QObject(parent), image_(image), stack_(new QUndoStack(this)) {
    image_.AddListener(this);
}

EditHistory::~EditHistory() {
    image_.RemoveListener(this);
    journal_.Close();
}

void EditHistory::Record(const QString& name, const std::function<void()>& writes) {
    Record(writes, [&name] { return StepInfo{name, {}, std::nullopt, {}, {}, {}}; });
}

void EditHistory::Record(const std::function<void()>& writes,
                         const std::function<StepInfo()>& describe) {
    if (recording_) {
        writes();
        return;
    }
    ChangeCollector collected(image_);
    recording_ = true;
    try {
        writes();
    } catch (...) {
        recording_ = false;
        if (!collected.Changes().empty())
            Push(describe(), collected.Changes());
        throw;
    }
    recording_ = false;
    if (!collected.Changes().empty())
        Push(describe(), collected.Changes());
}

void EditHistory::Push(const StepInfo& info, const ChangeSet& changes) {
    merged_ = false;
    const bool keypad = info.keypad.has_value();
    StepInfo named = info;
    if (keypad)
        named.name =
            info.keypadPrefix + info.keypadBefore + QStringLiteral(" → ") + info.keypadAfter;
    auto* previous = static_cast<ImageStep*>(const_cast<void*>(lastApplied_));
    const int countBefore = stack_->count();
    stack_->push(new ImageStep(*this, named, changes));
    if (!merged_) {
        JournalPush(named.name, changes);
        if (previous && stack_->index() >= 2 && stack_->command(stack_->index() - 2) == previous)
            previous->Settle();
    }
    // A merge that emptied the step removed it; the journal's last record is then no step's.
    const bool removed = merged_ && stack_->count() < countBefore;
    lastApplied_ = removed || stack_->index() == 0 ? nullptr : stack_->command(stack_->index() - 1);
}

void EditHistory::ApplyStep(const QString& name, const ChangeSet& changes, bool redo,
                            const StepCell& cell) {
    // QUndoStack calls this from a menu, a shortcut or the history list: nothing may throw out.
    try {
        applying_ = true;
        if (redo)
            WriteAfterBytes(image_, changes);
        else
            WriteBeforeBytes(image_, changes);
        applying_ = false;
        JournalPush(redo ? name : QStringLiteral("Отменить: ") + name,
                    redo ? changes : ReverseChanges(changes));
    } catch (const std::exception&) {
        applying_ = false; // the bytes are written; a journal failure was announced
    }
    emit Applied(cell);
}

void EditHistory::JournalPush(const QString& name, const ChangeSet& changes) {
    if (!journal_.IsOpen())
        return;
    try {
        journal_.Push({name.toStdString(), NowMs(), changes});
    } catch (const std::exception& e) {
        journal_.Close();
        emit JournalFailed(QString::fromStdString(e.what()));
    }
}

void EditHistory::JournalAmend(const QString& name, const ChangeSet& changes) {
    if (!journal_.IsOpen())
        return;
    try {
        journal_.Amend({name.toStdString(), NowMs(), changes});
    } catch (const std::exception& e) {
        journal_.Close();
        emit JournalFailed(QString::fromStdString(e.what()));
    }
}

void EditHistory::StartJournal(const QString& path, const QString& imageFile, qint64 fileTimeMs) {
    journal_.Close();
    if (path.isEmpty())
        return;
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        journal_.Start(QFile::encodeName(path).toStdString(), imageFile.toStdString(), fileTimeMs);
    } catch (const std::exception& e) {
        emit JournalFailed(QString::fromStdString(e.what()));
    }
}

void EditHistory::DiscardJournal() {
    journal_.Discard();
}

void EditHistory::DataChanged(const ChangeSet& changes) {
    if (recording_ || applying_)
        return;
    Push({QStringLiteral("Изменение"), {}, std::nullopt, {}, {}, {}}, changes);
}

void EditHistory::DataReplaced() {
    // Another file (or none): the steps before belong to the old one.
    stack_->clear();
    lastApplied_ = nullptr;
}

QString JournalPathFor(const QString& imageFile) {
    const QByteArray key = QFileInfo(imageFile).absoluteFilePath().toUtf8();
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/journals/") + hash + QStringLiteral(".journal");
}
