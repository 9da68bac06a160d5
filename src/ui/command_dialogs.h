#pragma once

#include <QString>
#include <functional>

class QWidget;

// The answer to the close question.
enum class SaveAnswer { Yes, No, Cancel };

// The dialogs and message boxes the main window's commands open. Each is a small replaceable
// function, so a test drives every command without a modal loop. The defaults show the real
// dialogs; the help, which lives with the program, is set by the window.
enum class JournalChoice { Open, Keep, Discard };

struct CommandDialogs {
    // The open dialog. Returns false when cancelled; otherwise the chosen file and the 1-based
    // index of the filter entry ("Hex Files" 1, "Binary Files" 2, "All Files" 3).
    std::function<bool(QWidget* parent, QString& fileName, int& filterIndex)> OpenFile;
    // The save dialog, preset with fileName. Returns false when cancelled.
    std::function<bool(QWidget* parent, QString& fileName)> SaveFile;
    // The question before unsaved changes are dropped; a message box without owner.
    std::function<SaveAnswer(const QString& text)> AskSave;
    // A warning that does not stop the command (a HEX file read only in part).
    std::function<void(QWidget* parent, const QString& text)> Warn;
    // A warning that asks before a file is replaced, with Yes and No, No the default. True for
    // Yes.
    std::function<bool(QWidget* parent, const QString& text)> ConfirmReplace;
    // The offer to restore the unsaved changes a crash left in the journal. True for Yes.
    std::function<bool(QWidget* parent, const QString& text)> AskRestore;
    // Shows the help at its contents page.
    std::function<void(QWidget* parent)> ShowHelp;
    // Chooses the parameter database file, preset with the one in use. Returns false when
    // cancelled.
    std::function<bool(QWidget* parent, QString& fileName)> ChooseDatabase;
    // Asks for a number under a title, the field preset with `text`. Returns false when
    // cancelled; otherwise `text` is what was typed.
    std::function<bool(QWidget* parent, const QString& title, const QString& label, QString& text)>
        AskNumber;
    // Asks before an operation takes cells beyond their range to its nearest end, with OK and
    // Cancel, Cancel the default. True for OK.
    std::function<bool(QWidget* parent, const QString& text)> ConfirmOutOfRange;
    // At start-up, for each journal a crash left behind: open it, keep it for later (the
    // default), or delete it.
    std::function<JournalChoice(QWidget* parent, const QString& text)> ChooseJournal;

    static CommandDialogs Defaults();
};
