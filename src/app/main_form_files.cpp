// File commands of the main window: open, save, help and the close question. The document
// (document/image_document.h) loads, saves and decides what to ask; this file asks.
#include "app/main_form.h"

#include "app/recent_menu.h"
#include "document/edit_history.h"
#include "image/edit_steps.h"
#include "maps/view/map_grid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <optional>

void TMainForm::OpenFromCommandLine(const QString& fileName) {
    Guard([&] { OpenFile(fileName, FormatForName(fileName)); });
}

void TMainForm::OpenRecentFile(const QString& fileName) {
    if (!QFileInfo(fileName).isFile()) {
        MRecent->Forget(fileName);
        Asks.Warn(this, QStringLiteral("Файл %1 не найден. Он удалён из списка последних "
                                       "файлов.")
                            .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    // Unsaved edits are never dropped silently by opening another file.
    if (ConfirmLoseChanges())
        OpenFile(fileName, FormatForName(fileName));
}

void TMainForm::OpenCommand() {
    // Unsaved edits are never dropped silently by opening another file.
    if (!ConfirmLoseChanges())
        return;
    QString fileName;
    if (const std::optional<ImageFormat> format = ChooseFile(fileName))
        OpenFile(fileName, *format);
}

std::optional<ImageFormat> TMainForm::ChooseFile(QString& fileName) {
    int filterIndex = 1;
    if (!Asks.OpenFile(this, fileName, filterIndex))
        return std::nullopt;
    return FormatForOpen(fileName, filterIndex);
}

LoadedImage TMainForm::AdoptFile(const QString& fileName, ImageFormat format) {
    // Load into an image of its own first: a file that fails to load leaves the current image,
    // the current file, caption and grid exactly as they were.
    LoadedImage loaded = LoadImageFile(fileName, format);
    Doc->Adopt(loaded, fileName);
    UpdateCaption();
    MRecent->Remember(fileName);
    ShowMap(Edit.CurrentMap);
    ViewPanel->Fit();
    SG->setFocus(); // the keypad edits the grid straight away
    return loaded;
}

void TMainForm::OpenFile(const QString& fileName, ImageFormat format) {
    const LoadedImage loaded = AdoptFile(fileName, format);
    RecoverJournal();
    if (!loaded.warning.isEmpty())
        Asks.Warn(this, loaded.warning);
    // A wrong stored checksum, or a companion file holding another image, is no reason to stop
    // work (a save stores the right sum in both files), so it is said in the status bar's
    // message part, whole in its tooltip.
    QStringList notes;
    for (const QString& note :
         {ChecksumWarning(GetImage(), fileName), PairWarning(GetImage(), fileName)})
        if (!note.isEmpty())
            notes << note;
    MessageLabel->setText(notes.join(QLatin1Char(' ')));
    MessageLabel->setToolTip(notes.join(QLatin1Char('\n')));
}

bool TMainForm::SaveCommand() {
    QString chosen = Doc->CurrentFile();
    if (!Asks.SaveFile(this, chosen))
        return false;
    const SavePlan plan = Doc->PlanSave(chosen);
    for (const QString& question : plan.questions)
        if (!Asks.ConfirmReplace(this, question))
            return false;
    Doc->Save(plan.names);
    UpdateCaption();
    MRecent->Remember(Doc->CurrentFile());
    RefreshAfterEdit();
    return true;
}

void TMainForm::RecoverJournal() {
    const JournalOffer offer = Doc->ExamineJournal();
    if (!offer.damage.isEmpty())
        Asks.Warn(this, offer.damage);
    const bool accepted = offer.changes && Asks.AskRestore(this, offer.question);
    // Declined, the changes are not thrown away: the journal waits for the next start-up.
    if (offer.changes && !accepted)
        Doc->KeepJournalAside();
    Doc->StartJournal();
    if (accepted)
        ApplyEdit(QStringLiteral("Восстановление несохранённых изменений"),
                  [&] { WriteAfterBytes(GetImage(), *offer.changes); });
    else
        UpdateEditState();
}

void TMainForm::UpdateCaption() {
    setWindowTitle(MainCaption() + QStringLiteral(" - ") + Doc->Title() + QStringLiteral("[*]"));
}

// Asks whether to save unsaved edits. True when the caller may go on: nothing was changed,
// the user said No, or the save went through. Cancel, a cancelled save dialog and a failed
// save (which throws) keep the edits.
bool TMainForm::ConfirmLoseChanges() {
    const std::optional<QString> question = Doc->LoseChangesQuestion();
    if (!question)
        return true;
    switch (Asks.AskSave(*question)) {
    case SaveAnswer::No:
        return true;
    case SaveAnswer::Yes:
        return SaveCommand();
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void TMainForm::OfferLeftJournals() {
    Guard([&] {
        for (const LeftJournal& journal : FindLeftJournals(JournalFolder())) {
            switch (Asks.ChooseJournal(this, LeftJournalText(journal))) {
            case JournalChoice::Keep:
                break;
            case JournalChoice::Discard:
                QFile::remove(journal.path);
                break;
            case JournalChoice::Open:
                RecoverLeftJournal(journal);
                return; // one image at a time; the others wait for the next start-up
            }
        }
    });
}

void TMainForm::RecoverLeftJournal(const LeftJournal& journal) {
    if (journal.imageFile.isEmpty()) {
        Doc->AdoptJournalBase(journal);
        UpdateCaption();
        ShowMap(Edit.CurrentMap);
        ViewPanel->Fit();
        SG->setFocus();
    } else {
        AdoptFile(journal.imageFile, FormatForName(journal.imageFile));
        // The file's own journal, when it is another one, is kept: it may hold other changes.
        if (JournalPathFor(journal.imageFile) != journal.path)
            Doc->KeepJournalAside();
        Doc->StartJournal();
    }
    if (!HoldsBeforeBytes(GetImage(), journal.changes)) {
        Asks.Warn(this, QStringLiteral("Журнал %1 не подходит к образу и не применён; он "
                                       "сохранён.")
                            .arg(QDir::toNativeSeparators(journal.path)));
        return;
    }
    ApplyEdit(QStringLiteral("Восстановление несохранённых изменений"),
              [&] { WriteAfterBytes(GetImage(), journal.changes); });
    // Its changes are in the image and in the new journal now.
    if (QFileInfo(journal.path).exists() && Doc->History().Journalling() &&
        JournalPathFor(journal.imageFile) != journal.path)
        QFile::remove(journal.path);
}
