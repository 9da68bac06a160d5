// The main window's edit history: keypad steps, undo and redo, the unsaved state, the marks
// and the crash journal.
#include "main_form_fixture.h"

#include "app/history_view.h"
#include "document/edit_history.h"
#include "document/left_journals.h"
#include "image/edit_journal.h"
#include "maps/view/map_grid.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTest>
#include <QUndoStack>
#include <QUndoView>
#include <sys/stat.h>

namespace {

class EditHistoryTest : public MainFormTest {
protected:
    // Opens a binary image and returns its bytes.
    std::vector<uint8_t> OpenImage(const QString& name, int seed) {
        openAnswers.push_back({WriteImage(name, seed, false), 2});
        ChildNamed(*form, "AOpen")->trigger();
        return PatternBytes(seed);
    }
    void Keypad(Qt::Key key) { QTest::keyClick(form->Grid(), key, Qt::KeypadModifier); }
    QUndoStack& Stack() { return *form->Document().History().Stack(); }
    QString ChangedBytes() { return ChildNamed<QLabel>(*form, "ChangedBytesLabel")->text(); }

    // A run killed after three steps on the bytes of file leaves its journal at path: the
    // journal of that file, or with a source that of an image without a file holding its bytes.
    void LeaveJournal(const QString& path, const QString& file, const QString& source = {}) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QStringList args = {path, QFileInfo(file).absoluteFilePath(),
                            QString::number(QFileInfo(file).lastModified().toMSecsSinceEpoch()),
                            QStringLiteral("3")};
        if (!source.isEmpty())
            args << source;
        QProcess writer;
        writer.start(JOURNAL_CRASH_WRITER, args);
        ASSERT_TRUE(writer.waitForReadyRead(10000));
        // Alive, the writer holds its journal: no other editor may offer it.
        for (const LeftJournal& left : FindLeftJournals(JournalFolder()))
            EXPECT_NE(left.path, QFileInfo(path).absoluteFilePath());
        writer.kill(); // SIGKILL: no chance to close anything
        ASSERT_TRUE(writer.waitForFinished(10000));
    }
    // The bytes of pattern seed after the writer's three steps.
    static std::vector<uint8_t> AfterSteps(int seed) {
        std::vector<uint8_t> expected = PatternBytes(seed);
        for (int i = 0; i < 3; ++i) {
            const int a = 0x100 + 3 * i;
            const int word = (expected[a] | expected[a + 1] << 8) + 0x101;
            expected[a] = static_cast<uint8_t>(word);
            expected[a + 1] = static_cast<uint8_t>(word >> 8);
        }
        return expected;
    }
    std::deque<JournalChoice> journalAnswers; // Keep when none is left
    QStringList journalOffers;
    void AnswerJournals() {
        form->Dialogs().ChooseJournal = [this](QWidget*, const QString& text) {
            journalOffers << text;
            const JournalChoice c =
                journalAnswers.empty() ? JournalChoice::Keep : journalAnswers.front();
            if (!journalAnswers.empty())
                journalAnswers.pop_front();
            return c;
        };
    }
};

TEST_F(EditHistoryTest, KeypadStepsMergeAndUndoRedoToExactBytesAndTheCell) {
    const std::vector<uint8_t> file = OpenImage("a.bin", 3);
    form->Grid()->setFocus();
    Keypad(Qt::Key_Plus);
    Keypad(Qt::Key_Plus);
    Keypad(Qt::Key_Plus);
    ASSERT_EQ(Stack().count(), 1); // one cell within a second: one step
    EXPECT_TRUE(ChildNamed(*form, "AUndo")->text().startsWith("Отменить: УОЗ "))
        << ChildNamed(*form, "AUndo")->text().toStdString();
    EXPECT_TRUE(ChildNamed(*form, "AUndo")->text().endsWith(" → " + form->Grid()->Cell(1, 1)))
        << ChildNamed(*form, "AUndo")->text().toStdString(); // the last press's value
    EXPECT_EQ(ChildNamed(*form, "AUndo")->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(ChildNamed(*form, "ARedo")->shortcuts(),
              QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    EXPECT_EQ(ChangedBytes(), "Изменено байт: 1");
    EXPECT_TRUE(form->Grid()->CellMarked(1, 1));
    EXPECT_FALSE(form->Grid()->CellMarked(2, 1));
    EXPECT_TRUE(form->isWindowModified());

    QTest::keyClick(form->Grid(), Qt::Key_Right);
    Keypad(Qt::Key_Minus);
    ASSERT_EQ(Stack().count(), 2);
    const std::vector<uint8_t> edited = Data();

    // Undo moves the grid to the cell the step changed.
    form->Grid()->SetCurrentCell(5, 5);
    form->SelectCellState(5, 5);
    ChildNamed(*form, "AUndo")->trigger();
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(Data(), file);
    EXPECT_EQ(form->Grid()->Col(), 1);
    EXPECT_EQ(form->Grid()->Row(), 1);
    EXPECT_EQ(form->Grid()->Cell(1, 1).toStdString(),
              FormatMapCell(form->GetImage(), MapKind::Uoz, 0, 0, ","));
    EXPECT_EQ(ChangedBytes(), "Изменено байт: 0");
    EXPECT_FALSE(form->Grid()->CellMarked(1, 1));
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_TRUE(form->FormCloseQuery()); // back at the file: no question
    EXPECT_TRUE(questions.isEmpty());

    ChildNamed(*form, "ARedo")->trigger();
    ChildNamed(*form, "ARedo")->trigger();
    EXPECT_EQ(Data(), edited);
    EXPECT_FALSE(form->FormCloseQuery()); // Cancel
    EXPECT_EQ(questions.size(), 1);
}

TEST_F(EditHistoryTest, PressesASecondApartOrAfterAnUndoAreStepsOfTheirOwn) {
    OpenImage("a.bin", 4);
    form->Grid()->setFocus();
    Keypad(Qt::Key_Plus);
    QTest::qWait(1100);
    Keypad(Qt::Key_Plus);
    EXPECT_EQ(Stack().count(), 2);
    Keypad(Qt::Key_Minus); // back to where the step began: the step is gone
    EXPECT_EQ(Stack().count(), 1);
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_TRUE(ChildNamed(*form, "ARedo")->text().startsWith("Повторить: УОЗ "));
    Keypad(Qt::Key_Plus);
    EXPECT_EQ(Stack().count(), 1);
    EXPECT_EQ(ChangedBytes(), "Изменено байт: 1");
    EXPECT_EQ(ChildNamed(*form, "AUndo")->text(),
              "Отменить: " + form->Document().History().StepName(0));
    EXPECT_EQ(ChildNamed(*form, "ARedo")->text(),
              "Повторить"); // the undone step went with its branch
}

TEST_F(EditHistoryTest, EditsAndTheSaveChecksumAreStepsAndSavingEndsTheQuestion) {
    const std::vector<uint8_t> file = OpenImage("a.bin", 5);
    form->ApplyEdit("Установить значение", [&] { form->GetImage().WriteByte(0x10, 0x99); });
    form->ApplyEdit("Ничего", [] {});
    ASSERT_EQ(Stack().count(), 1);
    EXPECT_EQ(ChildNamed(*form, "AUndo")->text(), "Отменить: Установить значение");
    saveAnswers.push_back(Path("b.hex"));
    ChildNamed(*form, "ASave")->trigger();
    EXPECT_EQ(Stack().count(), 2); // the checksum refresh
    EXPECT_EQ(ChildNamed(*form, "AUndo")->text(), "Отменить: Контрольная сумма");
    EXPECT_FALSE(form->isWindowModified());
    // Choosing the first line of the history list takes the image back to the file opened.
    ChildNamed(*form, "AHistory")->trigger();
    QAbstractItemModel* steps = ChildNamed<QUndoView>(*form, "HistoryView")->model();
    ASSERT_EQ(steps->rowCount(), 3);
    auto* names = dynamic_cast<StepNameDelegate*>(
        ChildNamed<QUndoView>(*form, "HistoryView")->itemDelegate());
    ASSERT_NE(names, nullptr);
    // The state the file holds is marked, and only that one.
    EXPECT_EQ(names->RowText(steps->index(0, 0)), "Файл как открыт");
    EXPECT_EQ(names->RowText(steps->index(1, 0)), "Установить значение");
    EXPECT_EQ(names->RowText(steps->index(2, 0)), "Контрольная сумма — сохранено");
    ChildNamed<QUndoView>(*form, "HistoryView")->setCurrentIndex(steps->index(0, 0));
    EXPECT_EQ(Data(), file);
    EXPECT_TRUE(form->isWindowModified()); // differs from the file saved
}

TEST_F(EditHistoryTest, JournalOfAKilledProcessRestoresExactBytes) {
    const QString file = WriteImage("crash.bin", 6, false);
    LeaveJournal(JournalPathFor(file), file);
    restoreAnswer = true;
    openAnswers.push_back({file, 2});
    ChildNamed(*form, "AOpen")->trigger();
    ASSERT_EQ(restoreOffers.size(), 1);
    EXPECT_TRUE(restoreOffers[0].startsWith("Восстановить несохранённые изменения?"));
    EXPECT_EQ(Data(), AfterSteps(6));
    EXPECT_TRUE(form->isWindowModified());
    ChildNamed(*form, "AUndo")->trigger(); // the restore is a step like any other
    EXPECT_EQ(Data(), PatternBytes(6));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

// An image read from the unit has no file to replay a journal on: its journal carries the
// image itself, is written as the edits happen, and is held so no other editor offers it.
TEST_F(EditHistoryTest, AnImageWithoutAFileIsJournalledWithItsBytes) {
    ImageDocument& doc = form->Document();
    const std::vector<uint8_t> read = PatternBytes(8);
    doc.History().Record(QStringLiteral("Чтение ЭБУ"),
                         [&] { doc.Image().ReplaceData(read.data()); });
    doc.Image().Loaded = doc.Image().Complete = true;
    doc.AdoptUnitRead(QStringLiteral("ЭБУ, прочитан 10:00"));
    doc.History().Record(QStringLiteral("x"),
                         [&] { doc.Image().WriteByte(0x200, read[0x200] ^ 1); });
    const QStringList live =
        QDir(JournalFolder()).entryList({QStringLiteral("unsaved-*.journal")}, QDir::Files);
    ASSERT_EQ(live.size(), 1);
    const JournalContents journal = ReadJournal(LocalPath(JournalFolder() + "/" + live[0]));
    EXPECT_EQ(journal.source, "ЭБУ, прочитан 10:00");
    EXPECT_EQ(journal.base, read);
    EXPECT_EQ(JournalChanges(journal).size(), 1u);
    EXPECT_TRUE(FindLeftJournals(JournalFolder()).empty());
    // Even with every edit undone, closing asks: no file holds what the unit gave.
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_TRUE(doc.LoseChangesQuestion().has_value());
}

// At start-up every journal a crash left is offered, newest first: kept for later by default,
// deleted when asked, or opened, one image at a time, with its changes as one step.
TEST_F(EditHistoryTest, JournalsLeftBehindAreOfferedAtStartUp) {
    const QString file = WriteImage("left.bin", 9, false);
    LeaveJournal(JournalPathFor(file), file);
    const QString unsaved = JournalFolder() + QStringLiteral("/unsaved-test.journal");
    LeaveJournal(unsaved, WriteImage("read.bin", 10, false), QStringLiteral("ЭБУ, прочитан 10:00"));
    AnswerJournals();

    form->OfferLeftJournals(); // kept, both
    ASSERT_EQ(journalOffers.size(), 2);
    EXPECT_TRUE(
        journalOffers[0].contains("образ без файла (ЭБУ, прочитан 10:00), изменено байт: 6"))
        << journalOffers[0].toStdString();
    EXPECT_TRUE(journalOffers[1].contains(QDir::toNativeSeparators(file)));
    EXPECT_TRUE(QFileInfo::exists(unsaved) && QFileInfo::exists(JournalPathFor(file)));

    journalAnswers = {JournalChoice::Open};
    form->OfferLeftJournals();
    EXPECT_EQ(journalOffers.size(), 3); // one opened, the other waits
    EXPECT_EQ(Data(), AfterSteps(10));
    EXPECT_TRUE(form->windowTitle().contains("ЭБУ, прочитан 10:00"));
    EXPECT_TRUE(form->isWindowModified());
    EXPECT_FALSE(QFileInfo::exists(unsaved)); // its changes live in this window's journal now
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(Data(), PatternBytes(10));

    journalAnswers = {JournalChoice::Discard};
    form->OfferLeftJournals();
    EXPECT_EQ(journalOffers.size(), 4);
    EXPECT_FALSE(QFileInfo::exists(JournalPathFor(file)));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

// "Нет" to the recovery of a file just opened is no deletion: the next start-up offers it.
TEST_F(EditHistoryTest, DeclinedRecoveryWaitsForTheNextStartUp) {
    const QString file = WriteImage("declined.bin", 11, false);
    LeaveJournal(JournalPathFor(file), file);
    restoreAnswer = false;
    openAnswers.push_back({file, 2});
    ChildNamed(*form, "AOpen")->trigger();
    ASSERT_EQ(restoreOffers.size(), 1);
    EXPECT_EQ(Data(), PatternBytes(11));

    form->Document().DiscardJournal(); // this window ends in order
    AnswerJournals();
    journalAnswers = {JournalChoice::Open};
    form->OfferLeftJournals();
    ASSERT_EQ(journalOffers.size(), 1);
    EXPECT_EQ(Data(), AfterSteps(11));
    EXPECT_EQ(form->Document().CurrentFile(), file);
}

// A FIFO in a journal's place is no journal: opening its file says so instead of waiting for
// ever on the read.
TEST_F(EditHistoryTest, AJournalThatIsNoFileIsSaidSoNotWaitedOn) {
    const QString file = WriteImage("fifo.bin", 12, false);
    const QString journal = JournalPathFor(file);
    QDir().mkpath(QFileInfo(journal).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(journal).constData(), 0600), 0);
    openAnswers.push_back({file, 2});
    ChildNamed(*form, "AOpen")->trigger();
    EXPECT_EQ(Data(), PatternBytes(12));
    EXPECT_TRUE(restoreOffers.isEmpty());
    ASSERT_FALSE(warnings.isEmpty());
    EXPECT_TRUE(warnings[0].contains("not a regular file")) << warnings[0].toStdString();
}

TEST_F(EditHistoryTest, DamagedJournalIsIgnoredWithAMessage) {
    const QString file = WriteImage("d.bin", 7, false);
    const QString journal = JournalPathFor(file);
    QDir().mkpath(QFileInfo(journal).absolutePath());
    QFile damaged(journal);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("VELMARIS-JOURNAL 1 0 =00 *00000000\nP 1 = 01000102 *0\n");
    damaged.close();
    openAnswers.push_back({file, 2});
    ChildNamed(*form, "AOpen")->trigger();
    EXPECT_EQ(Data(), PatternBytes(7));
    EXPECT_TRUE(restoreOffers.isEmpty());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("повреждён")) << warnings[0].toStdString();
    EXPECT_EQ(form->Document().CurrentFile(), file);
}

// A step decodes the image once, when its writes are done and before it is named, however many
// bytes it writes: its name may quote the values the writes made.
TEST(EditHistoryRecord, AStepDecodesOnceBeforeItIsNamed) {
    FirmwareImage image;
    EditHistory history(image);
    const std::size_t before = image.DecodeCount();
    double named = -1;
    history.Record(
        [&] {
            for (int c = 0; c < FirmwareImage::LoadCols; ++c)
                image.WriteByte(static_cast<uint16_t>(image.AddrMainMap + 2 * c + 1), 6);
        },
        [&] {
            named = image.Uoz[0][21];
            return StepInfo{QStringLiteral("Шаг"), {}, std::nullopt, {}, {}, {}};
        });
    EXPECT_EQ(image.DecodeCount(), before + 1);
    EXPECT_DOUBLE_EQ(named, 3.0);
    EXPECT_EQ(history.Stack()->count(), 1);
}

} // namespace
