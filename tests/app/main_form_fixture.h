#pragma once

// A main window with every dialog replaced by a recorder, on a Russian locale, and helpers
// that write image files into a temporary folder.

#include "app/diff_form.h"
#include "app/main_form.h"
#include "child_named.h"
#include "image/firmware_image.h"
#include "image_bytes.h"
#include "ui/error_report.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QStringList>
#include <QTemporaryDir>
#include <QToolBar>
#include <QUndoView>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// Fills an image with a byte pattern that differs from address to address.
inline void FillPattern(FirmwareImage& image, int seed) {
    image.ReplaceData(PatternBytes(7, static_cast<unsigned>(seed)).data());
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Russian));
        ASSERT_TRUE(dir.isValid());
        savedError = ShowErrorMessage;
        ShowErrorMessage = [this](QWidget*, const QString& text) { errors << text; };
        form = std::make_unique<TMainForm>();
        form->Dialogs().OpenFile = [this](QWidget*, QString& name, int& filter) {
            ++openDialogs;
            if (openAnswers.empty())
                return false;
            name = openAnswers.front().first;
            filter = openAnswers.front().second;
            openAnswers.pop_front();
            return true;
        };
        form->Dialogs().SaveFile = [this](QWidget*, QString& name) {
            savePresets << name;
            if (saveAnswers.empty())
                return false;
            name = saveAnswers.front();
            saveAnswers.pop_front();
            return true;
        };
        form->Dialogs().AskSave = [this](const QString& text) {
            questions << text;
            const SaveAnswer a = askAnswers.empty() ? SaveAnswer::Cancel : askAnswers.front();
            if (!askAnswers.empty())
                askAnswers.pop_front();
            return a;
        };
        form->Dialogs().Warn = [this](QWidget*, const QString& text) { warnings << text; };
        form->Dialogs().ConfirmReplace = [this](QWidget*, const QString& text) {
            confirmations << text;
            const bool yes = !confirmAnswers.empty() && confirmAnswers.front();
            if (!confirmAnswers.empty())
                confirmAnswers.pop_front();
            return yes;
        };
        form->Dialogs().ConfirmOutOfRange = [this](QWidget*, const QString& text) {
            clampQuestions << text;
            return clampAnswer;
        };
        form->Dialogs().ShowHelp = [this](QWidget*) { ++helpShown; };
        form->Dialogs().AskRestore = [this](QWidget*, const QString& text) {
            restoreOffers << text;
            return restoreAnswer;
        };
        form->show();
    }
    void TearDown() override {
        // Leave without questions so the next test starts clean.
        if (form)
            form->GetImage().MarkSaved();
        form.reset();
        ShowErrorMessage = savedError;
        QLocale::setDefault(QLocale::c());
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Writes an image with the given pattern seed as HEX or binary under the given name.
    QString WriteImage(const QString& name, int seed, bool hex) {
        FirmwareImage image;
        FillPattern(image, seed);
        const std::string path = QFile::encodeName(Path(name)).toStdString();
        if (hex)
            image.SaveHex(path);
        else
            image.SaveBin(path);
        return Path(name);
    }
    static std::vector<uint8_t> PatternBytes(int seed) {
        return ::PatternBytes(7, static_cast<unsigned>(seed));
    }
    std::vector<uint8_t> Data() const {
        return {form->GetImage().Bytes(), form->GetImage().Bytes() + FirmwareImage::Size};
    }

    QTemporaryDir dir;
    std::unique_ptr<TMainForm> form;
    std::function<void(QWidget*, const QString&)> savedError;
    std::deque<std::pair<QString, int>> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<SaveAnswer> askAnswers;
    std::deque<bool> confirmAnswers; // No when none is left
    bool restoreAnswer = false;
    QStringList clampQuestions; // asked before an operation clamps cells; answered clampAnswer
    bool clampAnswer = false;
    QStringList errors, warnings, questions, savePresets, confirmations, restoreOffers;
    int openDialogs = 0;
    int helpShown = 0;
};
