#pragma once

#include "document/image_loading.h"
#include "document/save_names.h"
#include "image/change_set.h"
#include "image/firmware_image.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class EditHistory;
struct LeftJournal;

// What the journal of a file just opened holds for the user to decide on.
struct JournalOffer {
    // Set when the journal could not be used: the warning that says so.
    QString damage;
    // The unsaved changes a crash left, when there are any; the question that offers them.
    std::optional<ChangeSet> changes;
    QString question;
};

// What a save is about to write, and what must be asked before: each question in order, the
// save going on only when every one is answered yes.
struct SavePlan {
    SaveNames names;
    QStringList questions;
};

// The image the user edits, with everything that belongs to it but no window: its edit history
// and crash journal, the file it stands for, what the load of that file warned of, and the
// decisions of the open, save, recover and close commands. A decision returns what must be
// asked; the window asks and calls back with the answer.
class ImageDocument {
public:
    ImageDocument();
    ~ImageDocument();
    ImageDocument(const ImageDocument&) = delete;
    ImageDocument& operator=(const ImageDocument&) = delete;

    FirmwareImage& Image() { return *image_; }
    const FirmwareImage& Image() const { return *image_; }
    EditHistory& History() { return *history_; }

    // The current file as chosen or as last saved (the ".hex" file of a save).
    const QString& CurrentFile() const { return currentFile_; }
    // The file the image was last opened from, and what that open warned of when the file did
    // not give a whole image (empty when it did).
    const QString& LoadedFile() const { return loadedFile_; }
    const QString& LoadWarning() const { return loadWarning_; }

    // Makes a loaded file the document's image; the file becomes the current and loaded one.
    void Adopt(const LoadedImage& loaded, const QString& fileName);
    // The image now holds what the unit gave: it stands for no file any more, so a save asks
    // for a name instead of offering to overwrite the file opened before, and the title names
    // the source ("ЭБУ, прочитан 17:19"). The journal goes on where it was; when none was
    // running, one starts that carries the image itself, as no file holds it.
    void AdoptUnitRead(const QString& source);
    // Makes the base of a left journal of an image without a file the document's image, with
    // that journal's source, and starts a journal of its own for it; the window then applies the
    // left journal's changes as an edit.
    void AdoptJournalBase(const LeftJournal& journal);
    // What the window's caption names: the current file's name, or the source of an image
    // that has no file.
    QString Title() const;
    // The journal of the current file: what a crash left there, to offer. What the previous
    // file's journal held is saved or given up by now, so that journal ends here.
    JournalOffer ExamineJournal();
    // Starts the current file's journal afresh.
    void StartJournal();
    // The current file's journal, declined when offered, is kept under another name, where the
    // next start of the editor finds it again; the file's own journal can then start afresh.
    void KeepJournalAside();
    // Stops journalling and removes the journal: its changes are saved or given up.
    void DiscardJournal();

    // The question before unsaved changes are dropped; nothing when there are none (undoing
    // every change leaves none). An image from the unit that no file holds is always asked about.
    std::optional<QString> LoseChangesQuestion() const;

    // The files a save under the chosen name writes, and what to ask first: the save dialog has
    // asked about the name typed there; a file the image was read from only in part is named
    // with the load's warning, then every other existing file, each once. What cannot be
    // written at all (a missing folder, a device, a read-only file) throws here, before any
    // question.
    SavePlan PlanSave(const QString& chosen) const;
    // Refreshes the checksum (one step of the history), writes both files and makes the saved
    // ".hex" file the current one; the journal starts again for it.
    void Save(const SaveNames& names);

private:
    void StartUnsavedJournal();

    std::unique_ptr<FirmwareImage> image_;
    std::unique_ptr<EditHistory> history_; // listens on image_, so it goes first
    QString currentFile_;
    QString loadedFile_;
    QString loadWarning_;
    QString source_; // set while the image comes from the unit rather than a file
};
