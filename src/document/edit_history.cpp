// The edit history: change sets of the image as steps of a QUndoStack, and their journal.
#include "document/edit_history.h"

#include "document/left_journals.h"
#include "image/firmware_image.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUndoStack>
#include <exception>
#include <stdexcept>

namespace {

constexpr int KeypadStepId = 1;

int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// A keypad step's name: the first press's value before, the last press's value after.
QString KeypadName(const QString& prefix, const QString& before, const QString& after) {
    return prefix + before + QStringLiteral(" → ") + after;
}

} // namespace

// One step of the stack. Its name and bytes are in the history's log; the step keeps where, and
// the cell it happened at. Undo writes the before bytes, redo the after bytes; the first redo,
// made by QUndoStack::push, finds them written already.
class ImageStep : public QUndoCommand {
public:
    ImageStep(EditHistory& history, StepLog::Offset record, const StepCell& cell)
        : history_(history), record_(record), map_(Small(cell.map)), row_(Small(cell.row)),
          col_(Small(cell.col)) {}
    ~ImageStep() override { history_.Forget(*this); }

    void undo() override { history_.ApplyStep(*this, false); }
    void redo() override {
        if (history_.pushing_ != this)
            history_.ApplyStep(*this, true);
    }
    int id() const override { return history_.MayMerge(this) ? KeypadStepId : -1; }
    bool mergeWith(const QUndoCommand* other) override {
        return history_.MergeInto(*this,
                                  *static_cast<ImageStep*>(const_cast<QUndoCommand*>(other)));
    }

    StepCell Cell() const { return {map_, row_, col_}; }
    // Where the step's record is in the log; NoRecord once it has been given back.
    static constexpr StepLog::Offset NoRecord = ~StepLog::Offset{0};
    StepLog::Offset Record() const { return record_; }
    void SetRecord(StepLog::Offset record) { record_ = record; }

private:
    // Map kinds, rows and columns are all small; a cell outside that range is no cell.
    static int8_t Small(int n) { return n >= -1 && n <= 127 ? static_cast<int8_t>(n) : -1; }

    EditHistory& history_;
    StepLog::Offset record_;
    int8_t map_;
    int8_t row_;
    int8_t col_;
};

EditHistory::EditHistory(FirmwareImage& image, QObject* parent)
    : QObject(parent), image_(image), stack_(new QUndoStack(this)) {
    image_.AddListener(this);
    connect(stack_, &QUndoStack::indexChanged, this, &EditHistory::AnnounceNames);
}

EditHistory::~EditHistory() {
    image_.RemoveListener(this);
    journal_.Close();
    // The steps give their records back to the log as they go, so they go first.
    delete stack_;
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
        // One decode for the whole step, done before describe reads the decoded values.
        FirmwareImage::WriteBatch batch(image_);
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
    const QString name = info.keypad
                             ? KeypadName(info.keypadPrefix, info.keypadBefore, info.keypadAfter)
                             : info.name;
    // The push deletes the undone steps after the current one. Their records are the log's last,
    // so giving them back first lets the new record take their room.
    for (int i = stack_->count() - 1; i >= stack_->index(); --i)
        Forget(*static_cast<ImageStep*>(const_cast<QUndoCommand*>(stack_->command(i))));
    auto* step = new ImageStep(*this, log_.Append(name.toStdString(), changes), info.cell);
    pushing_ = step;
    incoming_ = &info;
    merged_ = false;
    // A merge deletes step, and a merge that emptied the step before removes that one too; the
    // steps forget themselves as they go.
    stack_->push(step);
    pushing_ = nullptr;
    incoming_ = nullptr;
    if (merged_)
        return;
    JournalPush(name, changes);
    lastApplied_ = step;
    if (info.keypad)
        merge_ =
            KeypadMerge{step, *info.keypad, info.keypadPrefix, info.keypadBefore, info.keypadAfter};
    else
        merge_.reset();
}

bool EditHistory::MayMerge(const ImageStep* step) const {
    if (step == pushing_)
        return incoming_ && incoming_->keypad;
    return merge_ && merge_->step == step;
}

// Only onto the change the journal holds last, so that its merge record amends this step.
bool EditHistory::MergeInto(ImageStep& last, ImageStep& next) {
    if (&next != pushing_ || !incoming_ || !incoming_->keypad || !merge_ || merge_->step != &last ||
        lastApplied_ != &last || !KeypadStepsMerge(merge_->keypad, *incoming_->keypad))
        return false;
    const ChangeSet combined =
        CombineChangeSets(log_.Changes(last.Record()), log_.Changes(next.Record()));
    // Both records are the log's last two: dropping them gives their room back.
    log_.Drop(next.Record());
    next.SetRecord(ImageStep::NoRecord);
    log_.Drop(last.Record());
    merge_->keypad = *incoming_->keypad;
    merge_->after = incoming_->keypadAfter;
    const QString name = KeypadName(merge_->prefix, merge_->before, merge_->after);
    last.SetRecord(log_.Append(name.toStdString(), combined));
    last.setObsolete(combined.empty()); // pressed back to where it began: no step at all
    merged_ = true;
    JournalAmend(name, combined);
    return true;
}

void EditHistory::Forget(ImageStep& step) {
    if (step.Record() != ImageStep::NoRecord)
        log_.Drop(step.Record());
    step.SetRecord(ImageStep::NoRecord);
    if (merge_ && merge_->step == &step)
        merge_.reset();
    if (lastApplied_ == &step)
        lastApplied_ = nullptr;
}

void EditHistory::ApplyStep(const ImageStep& step, bool redo) {
    // QUndoStack calls this from a menu, a shortcut or the history list: nothing may throw out.
    try {
        const QString name = QString::fromStdString(log_.Name(step.Record()));
        const ChangeSet changes = log_.Changes(step.Record());
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
    lastApplied_ = redo ? &step : nullptr;
    emit Applied(step.Cell());
}

QString EditHistory::StepName(int position) const {
    if (position < 0 || position >= stack_->count())
        return {};
    const auto* step = static_cast<const ImageStep*>(stack_->command(position));
    return QString::fromStdString(log_.Name(step->Record()));
}

QString EditHistory::UndoName() const {
    return StepName(stack_->index() - 1);
}

QString EditHistory::RedoName() const {
    return StepName(stack_->index());
}

void EditHistory::AnnounceNames() {
    emit NamesChanged(UndoName(), RedoName());
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

void EditHistory::StartUnsavedJournal(const QString& path, const QString& source,
                                      const std::vector<uint8_t>& base) {
    journal_.Close();
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        journal_.StartUnsaved(QFile::encodeName(path).toStdString(), source.toStdString(), base);
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
    log_.Clear();
}

QString JournalPathFor(const QString& imageFile) {
    const QByteArray key = QFileInfo(imageFile).absoluteFilePath().toUtf8();
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
    return JournalFolder() + QLatin1Char('/') + hash + QStringLiteral(".journal");
}
