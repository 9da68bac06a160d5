#include "change_recorder.h"
#include "file_size_limit.h"
#include "main_form_fixture.h"

#include "maps/view/map_grid.h"
#include <QLabel>

#include "app/translations.h"
#include "image_bytes.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <fstream>
#include <sys/stat.h>

namespace {

const QString Caption = QStringLiteral("Редактор алгоритма и калибровок двигателя");

std::vector<uint8_t> ReadAll(const QString& path) {
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void WriteText(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

using OpenCommand = MainFormTest;

TEST_F(OpenCommand, TheExtensionChoosesTheLoaderWhateverTheFilter) {
    // A binary file under the preset "Hex Files" entry.
    openAnswers.push_back({WriteImage("demo.bin", 1, false), 1});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(1));

    // A HEX file under "Binary Files", its extension in capitals.
    openAnswers.push_back({WriteImage("Text.HEX", 2, true), 2});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(2));
    EXPECT_EQ(form->windowTitle(), Caption + " - Text.HEX[*]");
    EXPECT_EQ(form->Document().CurrentFile(), Path("Text.HEX"));

    // Any other extension goes by the entry: HEX, binary, and binary under "All Files".
    openAnswers.push_back({WriteImage("c.img", 3, true), 1});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(3));
    openAnswers.push_back({WriteImage("d.img", 4, false), 2});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(4));
    openAnswers.push_back({WriteImage("e.dat", 5, false), 3});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(5));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    EXPECT_FALSE(form->GetImage().IsModified());
}

// An open starts the image's history afresh instead of making 32 KB of edits to undo.
TEST_F(OpenCommand, OpeningIsALoadNotAnEdit) {
    ChangeRecorder heard(form->GetImage());
    openAnswers.push_back({WriteImage("a.bin", 1, false), 2});
    form->AOpenExecute();
    form->OpenFromCommandLine(WriteImage("b.hex", 2, true));
    EXPECT_EQ(heard.replaced, 2);
    EXPECT_TRUE(heard.sets.empty());
}

// A file whose stored checksum is not its data's says so once opened; a save refreshes it.
TEST_F(OpenCommand, AWrongStoredChecksumIsSaidOnOpen) {
    form->OpenFromCommandLine(WriteImage("a.bin", 1, false)); // a pattern: the sum is wrong
    const QString said = ChildNamed<QLabel>(*form, "MessageLabel")->text();
    EXPECT_TRUE(said.contains(QStringLiteral("a.bin")) &&
                said.contains(QStringLiteral("контрольная сумма")))
        << said.toStdString();
}

// One file of a pair whose other file holds another image: a save writes both, so the open
// says which was opened and that they differ; a pair that agrees says nothing.
TEST_F(OpenCommand, AMismatchedPairIsSaidOnOpen) {
    WriteImage("pair.bin", 2, false);
    form->OpenFromCommandLine(WriteImage("pair.hex", 1, true));
    const QString said = ChildNamed<QLabel>(*form, "MessageLabel")->text();
    EXPECT_TRUE(said.contains(QStringLiteral("pair.hex и pair.bin содержат разные образы")))
        << said.toStdString();
    WriteImage("same.bin", 3, false);
    form->OpenFromCommandLine(WriteImage("same.hex", 3, true));
    EXPECT_FALSE(ChildNamed<QLabel>(*form, "MessageLabel")
                     ->text()
                     .contains(QStringLiteral("разные образы")));
}

TEST_F(OpenCommand, OpeningDecodesAndFillsTheGridWithTheCurrentMap) {
    form->OpenFromCommandLine(WriteImage("a.hex", 1, true));
    EXPECT_EQ(form->Grid()->RowCount(), 40);
    EXPECT_EQ(form->Grid()->ColCount(), 23);
    EXPECT_EQ(form->Grid()->Cell(0, 0), "N\\P");
    EXPECT_EQ(form->Grid()->Cell(0, 1), QString::number(form->GetImage().Nuz[0]));
    EXPECT_EQ(form->Cursor().CellWidth, CellWidthKind::Byte);
    EXPECT_EQ(form->Cursor().CellAddress, form->GetImage().AddrMainMap + 1);
    EXPECT_EQ(form->Cursor().CellRaw, form->GetImage().ReadByte(form->GetImage().AddrMainMap + 1));

    // The command line loads binary for any other extension.
    form->OpenFromCommandLine(WriteImage("b.HEX", 5, true));
    EXPECT_EQ(Data(), PatternBytes(5));
    form->OpenFromCommandLine(WriteImage("c.dat", 6, false));
    EXPECT_EQ(Data(), PatternBytes(6));
}

TEST_F(OpenCommand, AFailedOpenLeavesEverythingAsItWas) {
    openAnswers.push_back({WriteImage("good.hex", 1, true), 1});
    form->AOpenExecute();
    FlipBits(form->GetImage(), 0x100, 0xFF); // an unsaved edit
    const auto data = Data();
    const QString title = form->windowTitle();
    const QString cell = form->Grid()->Cell(1, 1);
    askAnswers.push_back(SaveAnswer::No);

    openAnswers.push_back({Path("missing.hex"), 1});
    form->AOpenExecute();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0],
              "Can't open file.\n" + Path("missing.hex") + ": No such file or directory");
    EXPECT_EQ(Data(), data);
    EXPECT_EQ(form->Document().CurrentFile(), Path("good.hex"));
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(form->Grid()->Cell(1, 1), cell);
    EXPECT_TRUE(form->GetImage().IsModified());

    // A folder named like a file, through the binary loader.
    QDir(dir.path()).mkdir("folder.bin");
    askAnswers.push_back(SaveAnswer::No);
    openAnswers.push_back({Path("folder.bin"), 2});
    form->AOpenExecute();
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(Data(), data);
    EXPECT_EQ(form->Document().CurrentFile(), Path("good.hex"));
}

TEST_F(OpenCommand, AHexFileReadOnlyInPartIsShownWithAWarning) {
    QFile file(Path("short.hex"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":020000001234B8\n:02001000ABCD76\n:zz\n:020020001111BC\n");
    file.close();
    openAnswers.push_back({Path("short.hex"), 1});
    form->AOpenExecute();
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains("short.hex"));
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("строке 3"))) << warnings[0].toStdString();
    EXPECT_EQ(form->GetImage().ReadByte(0x00), 0x12);
    EXPECT_EQ(form->GetImage().ReadByte(0x11), 0xCD);
    EXPECT_EQ(form->GetImage().ReadByte(0x20), 0x00); // after the stop
    EXPECT_EQ(form->Document().CurrentFile(), Path("short.hex"));
}

// The warning is Russian throughout and names what the load found: the reason of an early
// end, the addresses that never came (a few, then a count), a missing end record, and a file
// without any data as such.
TEST_F(OpenCommand, TheIncompleteHexWarningSaysWhatIsMissingInRussian) {
    auto open = [&](const QString& name, const QByteArray& text) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        warnings.clear();
        askAnswers.push_back(SaveAnswer::No);
        openAnswers.push_back({Path(name), 1});
        form->AOpenExecute();
        EXPECT_EQ(warnings.size(), 1) << name.toStdString();
        EXPECT_EQ(form->Document().LoadWarning(), warnings.value(0));
        return warnings.value(0);
    };
    QString text = open("digit.hex", ":020000001234B8\n:0100000G01FE\n");
    EXPECT_TRUE(text.startsWith(QStringLiteral("Файл digit.hex прочитан не полностью: чтение "
                                               "остановлено в строке 2 (символ, не являющийся "
                                               "шестнадцатеричной цифрой).")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Нет данных по адресам: 0x0002..0x7FFF.")));
    EXPECT_TRUE(text.contains(QStringLiteral("В файле нет записи конца файла.")));

    QFile whole(WriteImage("whole.hex", 1, true));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = whole.readAll().split('\n');
    QByteArray holey;
    for (int i = 0; i < lines.size() - 1; ++i)
        if (i == 0 || i % 2 == 1 || i == lines.size() - 2)
            holey += lines[i] + '\n';
    text = open("holey.hex", holey);
    EXPECT_EQ(text, QStringLiteral("Файл holey.hex прочитан не полностью.\nНет данных по "
                                   "адресам: 0x0010..0x001F, 0x0030..0x003F, 0x0050..0x005F, "
                                   "0x0070..0x007F и ещё 1020.\nНедостающие байты заполнены "
                                   "нулями."));

    text = open("empty.hex", QByteArray());
    EXPECT_EQ(text, QStringLiteral("Файл empty.hex не содержит данных образа памяти: все байты "
                                   "образа заполнены нулями."));
}

TEST_F(OpenCommand, ABinaryFileOfAnotherSizeIsShownWithAWarning) {
    for (const qint64 size : {qint64(100), qint64(FirmwareImage::Size + 1)}) {
        warnings.clear();
        QFile file(Path("odd.bin"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, '\x5A'));
        file.close();
        askAnswers.push_back(SaveAnswer::No);
        openAnswers.push_back({Path("odd.bin"), 2});
        form->AOpenExecute();
        ASSERT_EQ(warnings.size(), 1) << size;
        EXPECT_TRUE(warnings[0].contains(QStringLiteral("odd.bin — %1 байт").arg(size)))
            << warnings[0].toStdString();
        EXPECT_EQ(form->GetImage().ReadByte(0), 0x5A);
        EXPECT_EQ(form->GetImage().ReadByte(FirmwareImage::Size - 1), size < 0x8000 ? 0x00 : 0x5A);
    }
}

TEST_F(OpenCommand, UnsavedEditsAreNotDroppedSilentlyByAnotherOpen) {
    form->OpenFromCommandLine(WriteImage("first.hex", 1, true));
    FlipBits(form->GetImage(), 0x200, 0xFF);
    const auto edited = Data();
    const QString next = WriteImage("next.hex", 2, true);

    // Cancel: no open dialog, the edited image stays.
    askAnswers.push_back(SaveAnswer::Cancel);
    openAnswers.push_back({next, 1});
    form->AOpenExecute();
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], QStringLiteral("Сохранить изменения в файле first.hex?"));
    EXPECT_EQ(openDialogs, 0);
    EXPECT_EQ(Data(), edited);

    // Yes, then the save dialog is cancelled: the edits stay, nothing is opened.
    askAnswers.push_back(SaveAnswer::Yes);
    form->AOpenExecute();
    EXPECT_EQ(openDialogs, 0);
    EXPECT_EQ(Data(), edited);

    // Yes and a save: both files written, then the other file opens.
    askAnswers.push_back(SaveAnswer::Yes);
    saveAnswers.push_back(Path("kept.hex"));
    form->AOpenExecute();
    EXPECT_EQ(openDialogs, 1);
    EXPECT_EQ(Data(), PatternBytes(2));
    EXPECT_TRUE(QFileInfo::exists(Path("kept.bin")));
    const auto kept = ReadAll(Path("kept.bin"));
    ASSERT_EQ(kept.size(), FirmwareImage::Size);
    EXPECT_EQ(kept[0x200], edited[0x200]);

    // No: the edits are dropped and the file opens.
    FlipBits(form->GetImage(), 0x200, 0xFF);
    askAnswers.push_back(SaveAnswer::No);
    openAnswers.push_back({WriteImage("third.bin", 3, false), 2});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(3));
}

using SaveCommand = MainFormTest;

TEST_F(SaveCommand, WritesBinAndHexUnderTheTypedNameAndAFreshChecksum) {
    form->OpenFromCommandLine(WriteImage("src.hex", 1, true));
    QDir(dir.path()).mkdir("Sub");
    saveAnswers.push_back(Path("Sub/My.Map.TXT"));
    form->ASaveExecute();
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(savePresets.value(0), Path("src.hex"));
    const QString bin = Path("Sub/My.Map.BIN"), hex = Path("Sub/My.Map.HEX");
    EXPECT_EQ(QDir(Path("Sub")).entryList(QDir::Files), QStringList({"My.Map.BIN", "My.Map.HEX"}));
    EXPECT_EQ(form->Document().CurrentFile(), hex);
    EXPECT_EQ(form->windowTitle(), Caption + " - My.Map.HEX[*]");

    EXPECT_EQ(form->GetImage().StoredChecksum(), form->GetImage().ComputeChecksum());
    EXPECT_EQ(ReadAll(bin), Data());
    FirmwareImage back;
    ASSERT_TRUE(back.LoadHex(QFile::encodeName(hex).toStdString()).complete);
    EXPECT_EQ(std::vector<uint8_t>(back.Bytes(), back.Bytes() + FirmwareImage::Size), Data());

    // A name without extension gets both, in lower case.
    saveAnswers.push_back(Path("PLAIN"));
    form->ASaveExecute();
    EXPECT_TRUE(QFileInfo::exists(Path("PLAIN.bin")));
    EXPECT_TRUE(QFileInfo::exists(Path("PLAIN.hex")));
}

// The save dialog asks about the name typed there; every other file the save replaces is asked
// about here, and a file of another name is never touched.
TEST_F(SaveCommand, AsksBeforeReplacingTheCompanionAndLeavesOtherNamesAlone) {
    form->OpenFromCommandLine(WriteImage("Demo.HEX", 1, true));
    const auto oldHex = ReadAll(Path("Demo.HEX"));
    WriteText(Path("Demo.BIN"), "old binary");
    WriteText(Path("demo.hex"), "someone else's");
    FlipBits(form->GetImage(), 0x300, 0xFF);

    saveAnswers.push_back(Path("Demo.HEX"));
    confirmAnswers.push_back(false);
    form->ASaveExecute();
    EXPECT_EQ(confirmations, QStringList{QStringLiteral("Demo.BIN уже существует. Заменить его?")});
    EXPECT_EQ(ReadAll(Path("Demo.HEX")), oldHex);
    EXPECT_EQ(ReadAll(Path("Demo.BIN")), Bytes("old binary"));
    EXPECT_TRUE(form->GetImage().IsModified());

    saveAnswers.push_back(Path("Demo.HEX"));
    confirmAnswers.push_back(true);
    form->ASaveExecute();
    EXPECT_EQ(confirmations.size(), 2);
    EXPECT_EQ(ReadAll(Path("Demo.BIN")), Data());
    EXPECT_NE(ReadAll(Path("Demo.HEX")), oldHex);
    EXPECT_EQ(ReadAll(Path("demo.hex")), Bytes("someone else's"));
    EXPECT_FALSE(QFileInfo::exists(Path("demo.bin")));
    EXPECT_EQ(form->Document().CurrentFile(), Path("Demo.HEX"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // A companion that can never be replaced is reported before any question.
    ASSERT_EQ(mkfifo(QFile::encodeName(Path("pipe.bin")).constData(), 0600), 0);
    saveAnswers.push_back(Path("pipe.hex"));
    form->ASaveExecute();
    EXPECT_EQ(confirmations.size(), 2);
    EXPECT_EQ(errors,
              QStringList{"Can't write file.\n" + Path("pipe.bin") + ": not a regular file"});
    EXPECT_FALSE(QFileInfo::exists(Path("pipe.hex")));
}

// What an incomplete load did not read is still in its file; a save over that file warns and
// names what is missing.
TEST_F(SaveCommand, AnImageReadInPartAsksBeforeReplacingItsSource) {
    WriteText(Path("short.hex"), ":020000001234B8\n:zz\n:020020001111BC\n");
    const auto source = ReadAll(Path("short.hex"));
    openAnswers.push_back({Path("short.hex"), 1});
    form->AOpenExecute();
    ASSERT_FALSE(form->Document().LoadWarning().isEmpty());

    saveAnswers.push_back(Path("short.hex"));
    form->ASaveExecute(); // answered No
    ASSERT_EQ(confirmations.size(), 1);
    EXPECT_TRUE(confirmations[0].startsWith(form->Document().LoadWarning()))
        << confirmations[0].toStdString();
    EXPECT_TRUE(confirmations[0].endsWith(QStringLiteral("Заменить файл short.hex?")));
    EXPECT_EQ(ReadAll(Path("short.hex")), source);
    EXPECT_FALSE(QFileInfo::exists(Path("short.bin")));

    // Another name holds nothing the image lacks.
    saveAnswers.push_back(Path("copy.hex"));
    form->ASaveExecute();
    EXPECT_EQ(confirmations.size(), 1);
    EXPECT_TRUE(QFileInfo::exists(Path("copy.hex")));

    // A cut binary file is replaced by the companion of a ".hex" name; one question covers it.
    WriteText(Path("cut.bin"), QByteArray(100, '\x5A'));
    openAnswers.push_back({Path("cut.bin"), 2});
    form->AOpenExecute();
    saveAnswers.push_back(Path("cut.hex"));
    confirmAnswers.push_back(true);
    form->ASaveExecute();
    ASSERT_EQ(confirmations.size(), 2);
    EXPECT_TRUE(confirmations[1].endsWith(QStringLiteral("Заменить файл cut.bin?")));
    EXPECT_EQ(ReadAll(Path("cut.bin")).size(), FirmwareImage::Size);
}

// The binary file fits under the limit and the HEX file does not, as on a nearly full disk.
TEST_F(SaveCommand, AFailedSaveReplacesNeitherFileAndSaysWhy) {
    form->OpenFromCommandLine(WriteImage("pair.hex", 1, true));
    WriteImage("pair.bin", 1, false);
    FlipBits(form->GetImage(), 0x300, 0xFF);
    saveAnswers.push_back(Path("pair.hex"));
    confirmAnswers.push_back(true);
    {
        FileSizeLimit limit(40000);
        form->ASaveExecute();
    }
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], "Can't write file.\n" + Path("pair.hex") + ": File too large");
    EXPECT_EQ(ReadAll(Path("pair.bin")), PatternBytes(1));
    EXPECT_TRUE(form->GetImage().IsModified());
}

TEST_F(SaveCommand, CancelWritesNothingAndAFailedSaveKeepsTheCaption) {
    form->OpenFromCommandLine(WriteImage("src.hex", 1, true));
    const QString title = form->windowTitle();
    form->ASaveExecute(); // cancelled
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(form->Document().CurrentFile(), Path("src.hex"));

    saveAnswers.push_back(Path("no/such/folder/x.hex"));
    form->ASaveExecute();
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(form->Document().CurrentFile(), Path("src.hex"));
}

using CloseQuestion = MainFormTest;

TEST_F(CloseQuestion, AnUnchangedImageClosesWithoutAQuestion) {
    form->OpenFromCommandLine(WriteImage("a.bin", 1, false));
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(CloseQuestion, EveryAnswer) {
    form->OpenFromCommandLine(WriteImage("Edited.HEX", 1, true));
    FlipBits(form->GetImage(), 0x300, 0xFF);

    askAnswers.push_back(SaveAnswer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions.value(0), QStringLiteral("Сохранить изменения в файле Edited.HEX?"));

    // Yes with a cancelled save dialog keeps the window and the edits.
    askAnswers.push_back(SaveAnswer::Yes);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(savePresets.size(), 1);

    // Yes with a failing save keeps it open too, and shows the error.
    askAnswers.push_back(SaveAnswer::Yes);
    saveAnswers.push_back(Path("missing/out.hex"));
    EXPECT_FALSE(form->close());
    EXPECT_EQ(errors.size(), 1);

    // Yes with a save closes; the saved files hold the edit.
    askAnswers.push_back(SaveAnswer::Yes);
    saveAnswers.push_back(Path("out.hex"));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(ReadAll(Path("out.bin"))[0x300], form->GetImage().ReadByte(0x300));
}

TEST_F(CloseQuestion, ASaveLeavesNothingToAskAbout) {
    form->OpenFromCommandLine(WriteImage("a.hex", 1, true));
    FlipBits(form->GetImage(), 0x300, 0xFF);
    saveAnswers.push_back(Path("a.hex"));
    confirmAnswers.push_back(true); // a.bin
    form->ASaveExecute();
    openAnswers.push_back({WriteImage("b.hex", 2, true), 1});
    form->AOpenExecute();
    EXPECT_EQ(Data(), PatternBytes(2));
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(questions.isEmpty()) << questions.join('\n').toStdString();
}

TEST_F(CloseQuestion, BeforeAnyFileTheQuestionNamesNoFile) {
    form->GetImage().WriteByte(0x10, 1); // as after a read from the unit
    askAnswers.push_back(SaveAnswer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions.value(0), QStringLiteral("Сохранить изменения в файле ?"));
}

// The close question's buttons and the file dialogs are the toolkit's; they speak Russian like
// the question itself.
TEST_F(CloseQuestion, StandardButtonsSpeakRussian) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_ru.qm")))
        GTEST_SKIP() << "the toolkit's Russian translation is not installed";
    ASSERT_TRUE(InstallToolkitTranslation(*QCoreApplication::instance()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Velmaris"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Нет"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Отмена"));
}
