#pragma once

#include "image/change_set.h"
#include "image/edit_journal.h"
#include "image/edit_steps.h"
#include "image/step_log.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class FirmwareImage;
class QUndoStack;

// The grid cell a step changed: the map (MapKind as int) and the data cell, so that undo and
// redo can make it current again. map < 0 when the step belongs to no cell.
struct StepCell {
    int map = -1;
    int row = -1;
    int col = -1;
};

// What a recorded step is called and where it happened; worked out after its writes ran.
struct StepInfo {
    QString name;
    StepCell cell;
    // A keypad press: merged into the previous press on the same cell within a second. Its name
    // is then keypadPrefix + the first press's keypadBefore + " → " + the last keypadAfter.
    std::optional<KeypadStep> keypad;
    QString keypadPrefix;
    QString keypadBefore;
    QString keypadAfter;
};

class ImageStep;

// The one edit history of the image: a QUndoStack whose steps are the image's change sets. Every
// write of the image while a step is recorded joins that step; a write outside any record (which
// no command of the program makes) still becomes a step of its own, so undo never skips bytes.
// Undo and redo write the step's bytes back through the image and announce Applied. Each step,
// undo and redo is appended to the crash journal while one is started.
//
// A long history must stay small, so the steps keep their names and bytes in one log rather than
// as command texts: the names come from StepName, UndoName and RedoName (the commands' own texts
// are empty), and NamesChanged tells when the undo and redo names change.
class EditHistory : public QObject, public ImageListener {
    Q_OBJECT
public:
    explicit EditHistory(FirmwareImage& image, QObject* parent = nullptr);
    ~EditHistory() override;

    QUndoStack* Stack() const { return stack_; }

    // Runs writes and makes what they changed one step; nothing changed, no step. A record inside
    // another joins the outer step. Bytes written before writes throws are still recorded, then
    // the exception goes on.
    void Record(const std::function<void()>& writes, const std::function<StepInfo()>& describe);
    void Record(const QString& name, const std::function<void()>& writes);
    bool Recording() const { return recording_; }

    // The name of the step at a position of the stack (0 is the first step).
    QString StepName(int position) const;
    // The step undo would take back, and the one redo would make again; empty when there is none.
    QString UndoName() const;
    QString RedoName() const;

    // The journal of the file the image now stands for; what it held before is replaced. An
    // empty path stops journalling. Failures are announced by JournalFailed and stop it.
    void StartJournal(const QString& path, const QString& imageFile, qint64 fileTimeMs);
    // The same for an image without a file: the journal names its source and carries the image.
    void StartUnsavedJournal(const QString& path, const QString& source,
                             const std::vector<uint8_t>& base);
    // Stops journalling and removes the journal: its changes are saved or given up.
    void DiscardJournal();
    bool Journalling() const { return journal_.IsOpen(); }

    // ImageListener.
    void DataChanged(const ChangeSet& changes) override;
    void DataReplaced() override;

signals:
    // An undo or redo wrote the image; cell is where the step happened.
    void Applied(const StepCell& cell);
    // The step undo or redo would take now, or its name, changed.
    void NamesChanged(const QString& undoName, const QString& redoName);
    // The journal could not be written; it is stopped.
    void JournalFailed(const QString& message);

private:
    friend class ImageStep;

    // What merging a keypad press needs: its place and time, and the parts of the name, which
    // is prefix + the first press's before + " → " + the last press's after. Only the step
    // pushed last may merge, so the history keeps this for that step alone.
    struct KeypadMerge {
        const ImageStep* step;
        KeypadStep keypad;
        QString prefix;
        QString before;
        QString after;
    };

    void Push(const StepInfo& info, const ChangeSet& changes);
    void AnnounceNames();
    // Called by the steps.
    void ApplyStep(const ImageStep& step, bool redo);
    bool MayMerge(const ImageStep* step) const;
    bool MergeInto(ImageStep& last, ImageStep& next);
    void Forget(ImageStep& step);
    void JournalPush(const QString& name, const ChangeSet& changes);
    void JournalAmend(const QString& name, const ChangeSet& changes);

    FirmwareImage& image_;
    QUndoStack* stack_;
    StepLog log_;
    EditJournal journal_;
    bool recording_ = false;
    bool applying_ = false;
    // The step being pushed, its description, and whether it merged into the one before.
    const ImageStep* pushing_ = nullptr;
    const StepInfo* incoming_ = nullptr;
    bool merged_ = false;
    // The step whose change the journal holds last: only onto it may a keypad press merge.
    const ImageStep* lastApplied_ = nullptr;
    std::optional<KeypadMerge> merge_;
};

// Where the journal of an image file lives: the user's data folder, one file per absolute path.
QString JournalPathFor(const QString& imageFile);
