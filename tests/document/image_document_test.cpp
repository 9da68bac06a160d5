// The decisions of the image document: what a close, a save and an open ask, and what they do.
#include "document/edit_history.h"
#include "document/image_document.h"
#include "document/image_loading.h"
#include "document/save_names.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

class Document : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // A binary file of `size` patterned bytes.
    QString WriteBin(const QString& name, std::size_t size) {
        std::vector<char> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7 + 3);
        std::ofstream(Path(name).toStdString(), std::ios::binary).write(bytes.data(), size);
        return Path(name);
    }
    void Open(ImageDocument& doc, const QString& file) {
        doc.Adopt(LoadImageFile(file, FormatForName(file)), file);
        doc.StartJournal();
    }
    static void Edit(ImageDocument& doc, uint16_t address) {
        doc.History().Record(QStringLiteral("шаг"), [&] {
            doc.Image().WriteByte(address, static_cast<uint8_t>(doc.Image().ReadByte(address) + 1));
        });
    }

    QTemporaryDir dir;
};

TEST_F(Document, ClosingAsksOnlyWhileEditsAreUnsaved) {
    ImageDocument doc;
    Open(doc, WriteBin("a.bin", FirmwareImage::Size));
    EXPECT_EQ(doc.LoseChangesQuestion(), std::nullopt);
    Edit(doc, 0x100);
    EXPECT_EQ(doc.LoseChangesQuestion(), QStringLiteral("Сохранить изменения в файле a.bin?"));
    // Undoing every change leaves nothing to lose.
    doc.History().Stack()->undo();
    EXPECT_EQ(doc.LoseChangesQuestion(), std::nullopt);
    doc.DiscardJournal();
}

// An image read from the unit stands for no file: the title names the read, the question
// before closing names it too, and a save no longer offers the file opened before. Saving
// makes the saved file the title again.
TEST_F(Document, AUnitReadLeavesTheFileBehindUntilSaved) {
    ImageDocument doc;
    Open(doc, WriteBin("a.bin", FirmwareImage::Size));
    EXPECT_EQ(doc.Title(), QStringLiteral("a.bin"));
    doc.AdoptUnitRead(QStringLiteral("ЭБУ, прочитан 17:19"));
    Edit(doc, 0x100);
    EXPECT_TRUE(doc.CurrentFile().isEmpty());
    EXPECT_EQ(doc.Title(), QStringLiteral("ЭБУ, прочитан 17:19"));
    EXPECT_EQ(doc.LoseChangesQuestion(), QStringLiteral("Сохранить образ (ЭБУ, прочитан 17:19)?"));
    doc.Save(doc.PlanSave(Path("unit.hex")).names);
    EXPECT_EQ(doc.Title(), QStringLiteral("unit.hex"));
    doc.DiscardJournal();
}

TEST_F(Document, SavingOverAFileReadOnlyInPartAsksAndNamesIt) {
    ImageDocument doc;
    const QString cut = WriteBin("cut.bin", 1000);
    Open(doc, cut);
    ASSERT_TRUE(doc.LoadWarning().contains(QStringLiteral("Недостающие байты заполнены нулями.")));
    const SavePlan plan = doc.PlanSave(Path("cut.hex"));
    EXPECT_EQ(plan.names.bin, cut);
    EXPECT_EQ(plan.names.hex, Path("cut.hex"));
    ASSERT_EQ(plan.questions.size(), 1); // the typed name was asked by the save dialog
    EXPECT_TRUE(plan.questions[0].startsWith(doc.LoadWarning()));
    EXPECT_TRUE(plan.questions[0].endsWith(QStringLiteral("Заменить файл cut.bin?")));
    doc.DiscardJournal();
}

TEST_F(Document, SavingAsksOnceForEachOtherExistingFile) {
    ImageDocument doc;
    Open(doc, WriteBin("whole.bin", FirmwareImage::Size));
    EXPECT_TRUE(doc.PlanSave(Path("new.hex")).questions.isEmpty());
    // A whole image replaces its own file without the warning; the other file is asked about.
    WriteBin("whole.hex", 10);
    const SavePlan plan = doc.PlanSave(Path("whole.bin"));
    EXPECT_EQ(plan.questions,
              QStringList{QStringLiteral("whole.hex уже существует. Заменить его?")});
    EXPECT_THROW(doc.PlanSave(Path("no-such-folder/x.hex")), std::runtime_error);
    doc.DiscardJournal();
}

TEST_F(Document, SaveWritesBothFilesAndTheHexBecomesCurrent) {
    ImageDocument doc;
    Open(doc, WriteBin("a.bin", FirmwareImage::Size));
    Edit(doc, 0x200);
    const uint16_t stored = doc.Image().StoredChecksum();
    doc.Save(doc.PlanSave(Path("b.hex")).names);
    EXPECT_EQ(doc.CurrentFile(), Path("b.hex"));
    EXPECT_EQ(doc.LoadedFile(), Path("a.bin"));
    EXPECT_TRUE(QFileInfo(Path("b.bin")).size() == FirmwareImage::Size);
    EXPECT_TRUE(QFileInfo::exists(Path("b.hex")));
    EXPECT_EQ(doc.LoseChangesQuestion(), std::nullopt);
    EXPECT_NE(doc.Image().StoredChecksum(), stored); // the edit changed the sum
    EXPECT_EQ(doc.History().UndoName(), QStringLiteral("Контрольная сумма"));
    EXPECT_TRUE(doc.History().Journalling());
    doc.DiscardJournal();
}

TEST_F(Document, AJournalWithChangesIsOfferedWithTheirCount) {
    const QString file = WriteBin("crash.bin", FirmwareImage::Size);
    {
        ImageDocument crashed; // ends without discarding its journal, as a crash does
        Open(crashed, file);
        Edit(crashed, 0x300);
        Edit(crashed, 0x301);
    }
    ImageDocument doc;
    doc.Adopt(LoadImageFile(file, ImageFormat::Bin), file);
    const JournalOffer offer = doc.ExamineJournal();
    EXPECT_TRUE(offer.damage.isEmpty());
    ASSERT_TRUE(offer.changes.has_value());
    EXPECT_EQ(offer.changes->size(), 2u);
    EXPECT_EQ(offer.question,
              QStringLiteral("Восстановить несохранённые изменения?\nФайл crash.bin, изменено "
                             "байт: 2."));
    // The file's journal starts afresh: what was not taken is not offered again.
    doc.StartJournal();
    EXPECT_FALSE(doc.ExamineJournal().changes.has_value());
}

TEST_F(Document, ADamagedJournalIsReportedAndAnOtherFilesIsIgnored) {
    const QString file = WriteBin("j.bin", FirmwareImage::Size);
    {
        ImageDocument crashed;
        Open(crashed, file);
        Edit(crashed, 0x10);
    }
    const QString journal = JournalPathFor(file);
    {
        QFile f(journal);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("not a journal line\n");
    }
    ImageDocument doc;
    doc.Adopt(LoadImageFile(file, ImageFormat::Bin), file);
    const JournalOffer offer = doc.ExamineJournal();
    EXPECT_TRUE(offer.damage.startsWith(
        QStringLiteral("Журнал несохранённых изменений файла j.bin повреждён")));
    EXPECT_FALSE(offer.changes.has_value());

    // A file changed since its journal was written holds no step of it.
    {
        ImageDocument crashed;
        Open(crashed, file);
        Edit(crashed, 0x10);
    }
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QFileInfo(file).lastModified().addSecs(5),
                                  QFileDevice::FileModificationTime));
    }
    ImageDocument later;
    later.Adopt(LoadImageFile(file, ImageFormat::Bin), file);
    const JournalOffer none = later.ExamineJournal();
    EXPECT_FALSE(none.changes.has_value());
    EXPECT_TRUE(none.damage.isEmpty());
}

TEST(ImageLoading, TheExtensionDecidesBeforeTheFilterAndBinaryFilesSayWhatIsWrong) {
    EXPECT_EQ(FormatForOpen(QStringLiteral("a.BIN"), 1), ImageFormat::Bin);
    EXPECT_EQ(FormatForOpen(QStringLiteral("a.Hex"), 2), ImageFormat::Hex);
    EXPECT_EQ(FormatForOpen(QStringLiteral("a.dat"), 1), ImageFormat::Hex);
    EXPECT_EQ(FormatForOpen(QStringLiteral("a.dat"), 3), ImageFormat::Bin);
    EXPECT_EQ(FormatForName(QStringLiteral("a.dat")), ImageFormat::Bin);

    QTemporaryDir dir;
    const QString longFile = dir.filePath(QStringLiteral("long.bin"));
    std::ofstream(longFile.toStdString(), std::ios::binary)
        << std::string(FirmwareImage::Size + 5, '\x11');
    const LoadedImage loaded = LoadImageFile(longFile, ImageFormat::Bin);
    EXPECT_EQ(loaded.warning, QStringLiteral("Размер файла long.bin — 32773 байт, а образ памяти "
                                             "занимает 32768 байт. Лишние байты не загружены."));
    EXPECT_EQ(loaded.image->ReadByte(FirmwareImage::Size - 1), 0x11);
}

} // namespace

// A whole file whose stored checksum is not its data's is warned of with both values; a file
// that agrees, or one not whole (its own warning says more), is not.
TEST(ImageLoading, AWrongStoredChecksumIsWarnedOfWithBothValues) {
    FirmwareImage image;
    std::vector<uint8_t> bytes(FirmwareImage::Size, 0x11);
    image.ReplaceData(bytes.data());
    image.Complete = true;
    auto hex = [](uint16_t v) {
        return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(4, '0');
    };
    ASSERT_NE(image.StoredChecksum(), image.ComputeChecksum());
    const QString text = ChecksumWarning(image, QStringLiteral("/tmp/a.bin"));
    EXPECT_TRUE(text.contains(QStringLiteral("a.bin"))) << text.toStdString();
    EXPECT_TRUE(text.contains(hex(image.StoredChecksum()))) << text.toStdString();
    EXPECT_TRUE(text.contains(hex(image.ComputeChecksum()))) << text.toStdString();
    image.Complete = false;
    EXPECT_TRUE(ChecksumWarning(image, QStringLiteral("a.bin")).isEmpty());
    image.Complete = true;
    image.UpdateChecksum();
    EXPECT_TRUE(ChecksumWarning(image, QStringLiteral("a.bin")).isEmpty());
}

// Opening one file of a pair whose other file holds another image warns, naming both and the
// count of differing bytes, in whatever letter case a save gives the pair; a companion with the
// same image, none, or one that is not a whole image gives no warning.
TEST(ImageLoading, APairHoldingTwoImagesIsWarnedOfNamingBothFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FirmwareImage image;
    std::vector<uint8_t> bytes(FirmwareImage::Size, 0x22);
    image.ReplaceData(bytes.data());
    image.Complete = true;
    FirmwareImage other;
    bytes[10] = bytes[20] = bytes[30] = 0x33;
    other.ReplaceData(bytes.data());
    other.Complete = true;
    for (const char* ext : {"hex", "HEX", "Hex", "hEX"}) {
        const QString opened = dir.filePath(QStringLiteral("a.") + QLatin1String(ext));
        const SaveNames names = MakeSaveNames(opened);
        image.SaveHex(LocalPath(opened));
        other.SaveBin(LocalPath(names.bin));
        const QString text = PairWarning(image, opened);
        EXPECT_TRUE(text.contains(QFileInfo(opened).fileName())) << ext << text.toStdString();
        EXPECT_TRUE(text.contains(QFileInfo(names.bin).fileName())) << ext << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral(": 3)"))) << ext << text.toStdString();
        // The opened file found from the other side too.
        EXPECT_FALSE(PairWarning(other, names.bin).isEmpty()) << ext;
        image.SaveBin(LocalPath(names.bin));
        EXPECT_TRUE(PairWarning(image, opened).isEmpty()) << ext;
        QFile::remove(names.bin);
        EXPECT_TRUE(PairWarning(image, opened).isEmpty()) << ext;
        QFile cut(names.bin);
        ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
        cut.write(QByteArray(100, '\x11'));
        cut.close();
        EXPECT_TRUE(PairWarning(image, opened).isEmpty()) << ext;
        QFile::remove(names.bin);
        QFile::remove(opened);
    }
}
