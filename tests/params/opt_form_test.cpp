#include "comma_locale.h"
#include "fixture_image.h"
#include "params/db/param_db.h"
#include "params/parameter_formula.h"
#include "params/view/my_sg.h"
#include "params/view/opt_form.h"
#include "params/view/opt_form_models.h"
#include "params/view/opt_form_run.h"
#include "ui/error_report.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineSeries>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

const QString Fixture = QStringLiteral(VELMARIS_FIXTURES_DIR "/database-jet4.mdb");

class OptFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        ASSERT_TRUE(dir.isValid());
        dbPath = dir.filePath(QStringLiteral("database.mdb"));
        FillFixtureImage(image);
        ShowErrorMessage = [this](QWidget*, const QString& text) { messages << text; };
        TOptForm::ConfirmOutOfLimits = [this](QWidget*, const QString& question) {
            questions << question;
            return storeOutOfLimits;
        };
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    std::vector<uint8_t> Bytes() const {
        return std::vector<uint8_t>(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    }
    // An SQLite copy of the fixture, changed by the given statements.
    void MakeSQLite(const QStringList& statements) {
        const QString jet = dir.filePath(QStringLiteral("source.mdb"));
        ASSERT_TRUE(QFile::copy(Fixture, jet));
        {
            ParamDatabase source(jet);
            source.saveAsSQLite(dbPath);
        }
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(dbPath);
            ASSERT_TRUE(db.open());
            for (const QString& s : statements) {
                QSqlQuery q(db);
                ASSERT_TRUE(q.exec(s)) << s.toStdString();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    }
    QString ResultText(TOptForm& form, int row) {
        return form.DBGrid1->model()->index(row, ConstTableModel::ColResult).data().toString();
    }

    QTemporaryDir dir;
    QString dbPath;
    FirmwareImage image;
    QStringList messages;
    QStringList questions;         // asked before a value outside Min..Max is stored
    bool storeOutOfLimits = false; // the answer
};

TEST_F(OptFormTest, JetDatabaseIsReadOnlyAndOpeningLeavesTheImageAlone) {
    ASSERT_TRUE(QFile::copy(Fixture, dbPath));
    QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::WriteOwner);
    const auto before = Bytes();
    {
        TOptForm form(image, EvaluateParameterFormula, dbPath);
        EXPECT_TRUE(form.ReadOnlyStore());
        EXPECT_TRUE(form.StatusLine->text().contains(QStringLiteral("только для чтения")));
        // RESERV has no input formula: the walk stops there, and the vectors are not walked.
        ASSERT_EQ(form.LoadProblems().size(), 1) << form.LoadProblems().join('\n').toStdString();
        EXPECT_EQ(form.LoadProblems()[0], QStringLiteral("Ошибка формулы, чтение остановлено: "
                                                         "RESERV: SyntaxError: No Expression"));
        EXPECT_EQ(ResultText(form, 0), QStringLiteral("850"));
        EXPECT_EQ(ResultText(form, 4), QStringLiteral("-10"));
        EXPECT_EQ(ResultText(form, 5), QStringLiteral("0,98"));
        EXPECT_EQ(ResultText(form, 7), QStringLiteral("11,02"));
        EXPECT_EQ(ResultText(form, 9), QStringLiteral("9"));
        EXPECT_EQ(ResultText(form, 10), QStringLiteral("2,5"));
        EXPECT_EQ(ResultText(form, 11), QStringLiteral("4")); // type 7: X+4 at X = 0
        EXPECT_EQ(ResultText(form, 12), QString());
        EXPECT_EQ(form.DBGrid1->model()->index(1, ConstTableModel::ColName).data().toString(),
                  QStringLiteral("Ограничение максимальных оборотов двигателя"));
        EXPECT_EQ(form.DBGrid3->model()->index(1, 1).data().toString(), QStringLiteral("0112"));
        EXPECT_EQ(Bytes(), before);
        QTest::qWait(1); // the deferred report of the problems
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(QStringLiteral("RESERV")));
    }
    QFile original(Fixture);
    QFile copy(dbPath);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), original.readAll());
}

TEST_F(OptFormTest, ResultEntryUsesTheLocaleSeparatorAndWritesTheImage) {
    ASSERT_TRUE(QFile::copy(Fixture, dbPath));
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    QAbstractItemModel* model = form.DBGrid1->model();
    const QModelIndex uozXx = model->index(6, ConstTableModel::ColResult);
    EXPECT_TRUE(model->setData(uozXx, QStringLiteral("12,5")));
    EXPECT_EQ(image.ReadByte(0x6212), 25);
    EXPECT_EQ(uozXx.data().toString(), QStringLiteral("12,5"));

    messages.clear();
    EXPECT_FALSE(model->setData(uozXx, QStringLiteral("12.5")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
              QStringLiteral("'12.5' is not a valid floating point value for field 'Значение'"));
    EXPECT_EQ(image.ReadByte(0x6212), 25);

    // The pair sharing 0x6215: each write keeps the other's bits.
    EXPECT_TRUE(
        model->setData(model->index(10, ConstTableModel::ColResult), QStringLiteral("1,5")));
    EXPECT_EQ(image.ReadByte(0x6215), 0x93);
    EXPECT_TRUE(model->setData(model->index(9, ConstTableModel::ColResult), QStringLiteral("12")));
    EXPECT_EQ(image.ReadByte(0x6215), 0xC3);

    // An empty entry encodes 0: X+40 gives 40, and the cell shows the 0 stored.
    EXPECT_TRUE(model->setData(model->index(2, ConstTableModel::ColResult), QString()));
    EXPECT_EQ(image.ReadByte(0x6108), 40);
    EXPECT_EQ(form.Constants()[2].Result, 0.0);
}

// What the window shows is what the unit gets: an entry the storage cannot hold is refused, one
// outside Min..Max is stored only when the user says so, and a stored value is shown as decoded
// from its bytes.
TEST_F(OptFormTest, EntriesAreCheckedAndShownAsStored) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    QAbstractItemModel* model = form.DBGrid1->model();
    const QModelIndex rpm = model->index(0, ConstTableModel::ColResult); // XX_RPM, a byte of tens
    EXPECT_TRUE(model->setData(rpm, QStringLiteral("5000")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Value out of range.")))
        << messages[0].toStdString();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(image.ReadByte(0x6104), 85);
    EXPECT_EQ(ResultText(form, 0), QStringLiteral("850"));

    model->setData(rpm, QStringLiteral("2000,5"));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(
        questions[0],
        QStringLiteral("XX_RPM: значение 2000,5 вне диапазона 600..1500 об/мин. Записать его?"));
    EXPECT_EQ(image.ReadByte(0x6104), 85);
    EXPECT_EQ(ResultText(form, 0), QStringLiteral("850"));
    storeOutOfLimits = true;
    model->setData(rpm, QStringLiteral("2000,5"));
    EXPECT_EQ(image.ReadByte(0x6104), 200);
    EXPECT_EQ(ResultText(form, 0), QStringLiteral("2000"));
    model->setData(rpm, QStringLiteral("1234"));
    EXPECT_EQ(image.ReadByte(0x6104), 123);
    EXPECT_EQ(ResultText(form, 0), QStringLiteral("1230"));
    EXPECT_EQ(ParamDatabase(dbPath).constants()[0].Result, 1230.0);

    // XX_TWAT, the first vector: a byte of tens as well.
    messages.clear();
    form.SG1->item(2, 1)->setText(QStringLiteral("3000"));
    form.SG1->EditorCommitted(1, 2, QStringLiteral("3000"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Value out of range.")));
    EXPECT_EQ(image.ReadByte(0x6660), 150);
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1500"));
    EXPECT_EQ(form.ParValues[0], 1500.0);
    form.SG1->item(2, 1)->setText(QStringLiteral("1234"));
    form.SG1->EditorCommitted(1, 2, QStringLiteral("1234"));
    EXPECT_EQ(image.ReadByte(0x6660), 123);
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1230"));
    EXPECT_EQ(form.ParValues[0], 1230.0);
    EXPECT_EQ(form.Series1->at(0).y(), 1230.0);
    storeOutOfLimits = false;
    form.SG1->EditorCommitted(1, 2, QStringLiteral("500"));
    EXPECT_EQ(questions.size(), 3);
    EXPECT_EQ(image.ReadByte(0x6660), 123);
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1230"));
}

TEST_F(OptFormTest, SQLiteStoresResultAndDeletesOnConfirmation) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table1 SET Result = 1 WHERE Mark = 'XX_RPM'")});
    image.WriteByte(0x6581, 77);
    {
        TOptForm form(image, EvaluateParameterFormula, dbPath);
        EXPECT_FALSE(form.ReadOnlyStore());
        EXPECT_TRUE(form.LoadProblems().isEmpty()) << form.LoadProblems().join('\n').toStdString();
        QAbstractItemModel* model = form.DBGrid1->model();
        EXPECT_TRUE(
            model->setData(model->index(6, ConstTableModel::ColResult), QStringLiteral("7")));

        int asked = 0;
        TOptForm::ConfirmDelete = [&](QWidget*) { return ++asked > 1; }; // Cancel, then OK
        form.DBGrid1->setCurrentIndex(model->index(3, 0));
        QTest::keyClick(form.DBGrid1, Qt::Key_Delete); // without Ctrl: nothing
        EXPECT_EQ(asked, 0);
        QTest::keyClick(form.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(form.Constants().size(), 13u);
        QTest::keyClick(form.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(form.Constants().size(), 12u);

        // A vector record goes the same way, and the next one is shown.
        form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(0, 0));
        QTest::keyClick(form.DBGrid2, Qt::Key_Delete, Qt::ControlModifier);
        EXPECT_EQ(form.Vectors().size(), 4u);
        EXPECT_EQ(form.CurrentVector(), 0);
        EXPECT_EQ(form.Chart1->title(),
                  QStringLiteral("Время задержки форсунки от напряжения бортсети"));
    }
    ParamDatabase db(dbPath);
    EXPECT_EQ(db.vectors().size(), 4u);
    const auto c = db.constants();
    ASSERT_EQ(c.size(), 12u);
    EXPECT_EQ(c[0].Result, 850.0); // refreshed from the image on opening
    EXPECT_EQ(c[5].Mark, "UOZ_XX");
    EXPECT_EQ(c[5].Result, 7.0);
    EXPECT_EQ(c[11].Result, 77.0);
}

// A row removed from the copy of a Jet file would be back at the next opening.
TEST_F(OptFormTest, JetRecordsAreNotDeleted) {
    ASSERT_TRUE(QFile::copy(Fixture, dbPath));
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    int asked = 0;
    TOptForm::ConfirmDelete = [&](QWidget*) { return ++asked > 0; };
    QTest::qWait(1); // the deferred report of the RESERV formula
    messages.clear();
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(3, 0));
    QTest::keyClick(form.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(0, 0));
    QTest::keyClick(form.DBGrid2, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(form.Constants().size(), 13u);
    EXPECT_EQ(form.Vectors().size(), 5u);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("только для чтения")));
}

TEST_F(OptFormTest, WriteProtectedSQLiteFileIsSaidToBeReadOnly) {
    MakeSQLite({});
    ASSERT_TRUE(QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::ReadGroup));
    if (QFileInfo(dbPath).isWritable())
        GTEST_SKIP() << "running as a user who may write any file";
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    EXPECT_TRUE(form.ReadOnlyStore());
    EXPECT_TRUE(form.StatusLine->text().contains(QStringLiteral("защищён от записи")));
    // Only the RESERV formula problem, no failed stores.
    EXPECT_EQ(form.LoadProblems().size(), 1) << form.LoadProblems().join('\n').toStdString();
    QAbstractItemModel* model = form.DBGrid1->model();
    EXPECT_TRUE(model->setData(model->index(6, ConstTableModel::ColResult), QStringLiteral("7")));
    EXPECT_EQ(image.ReadByte(0x6212), 14);
}

TEST_F(OptFormTest, VectorTabShowsPointsAndCommitsEdits) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    ASSERT_TRUE(form.LoadProblems().isEmpty()) << form.LoadProblems().join('\n').toStdString();
    // The first vector is shown: 16 points of XX_TWAT.
    EXPECT_EQ(form.CurrentVector(), 0);
    EXPECT_EQ(form.SG1->columnCount(), 17);
    EXPECT_EQ(form.SG1->Cell(0, 1), QStringLiteral("Аргумент"));
    EXPECT_EQ(form.SG1->Cell(1, 1), QStringLiteral("-40"));
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1500"));
    EXPECT_EQ(form.Chart1->title(), QStringLiteral("Уставка оборотов ХХ от температуры ОЖ"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("об/мин"));

    // TWAT_ADC: the index rule gives the arguments whatever the image holds.
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(2, 0));
    EXPECT_EQ(form.CurrentVector(), 2);
    EXPECT_EQ(form.SG1->Cell(1, 1), QStringLiteral("0,00"));
    EXPECT_EQ(form.SG1->Cell(2, 1), QStringLiteral("0,08"));
    EXPECT_EQ(form.SG1->Cell(3, 1), QStringLiteral("0,16"));
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("200"));

    // An edit finished in a value cell is encoded at once, into the low bytes only.
    form.SG1->item(2, 1)->setText(QStringLiteral("35")); // as the cell editor does
    form.SG1->EditorCommitted(1, 2, QStringLiteral("35"));
    EXPECT_EQ(image.ReadByte(0x6900), 75);
    EXPECT_EQ(image.ReadByte(0x6901), 230);
    EXPECT_EQ(form.ParValues[0], 35.0);

    messages.clear();
    form.SG1->item(2, 2)->setText(QStringLiteral("abc"));
    form.SG1->EditorCommitted(2, 2, QStringLiteral("abc"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QStringLiteral("'abc' is not a valid floating point value"));
    EXPECT_EQ(form.SG1->Cell(2, 2), QStringLiteral("188"));
    EXPECT_EQ(image.ReadByte(0x6902), 228);

    // Selecting point 4 moves the green marker there.
    form.SG1->setCurrentCell(2, 5);
    EXPECT_EQ(form.SelectedPoint, 4);
    ASSERT_EQ(form.Series2->count(), 1);
    EXPECT_EQ(form.Series2->at(0), QPointF(4, form.ParValues[4]));

    // TAIR_ADC at the same address reads the high bytes.
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(3, 0));
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("190"));
    EXPECT_EQ(form.SelectedPoint, 0);
}

// The toolkit puts the C library into the user's locale at start; with a comma there, the
// numbers of the window keep their digits.
TEST_F(OptFormTest, NumbersDoNotDependOnTheCLibraryLocale) {
    const CommaLocale comma;
    if (!comma.ok())
        GTEST_SKIP() << CommaLocale::Missing;
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    EXPECT_EQ(ResultText(form, 5), QStringLiteral("0,98"));
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1500"));           // XX_TWAT, no decimals
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(1, 0)); // TINJ_UB
    EXPECT_EQ(form.SG1->Cell(1, 1), QStringLiteral("9,0"));
    EXPECT_EQ(form.SG1->Cell(1, 2), QStringLiteral("1,600"));
    EXPECT_EQ(form.SG1->Cell(2, 2), QStringLiteral("1,480"));
}

// The value axis of the chart prints its numbers like every other number of the window, with
// the locale's decimal separator and without digit grouping.
TEST_F(OptFormTest, ChartAxisNumbersUseTheLocaleSeparator) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    form.setWindowState(Qt::WindowNoState);
    form.resize(1200, 900);
    form.PageControl1->setCurrentIndex(1);
    form.show();
    QTest::qWait(50);
    QStringList numbers;
    const QRegularExpression number(QStringLiteral("^-?[\\d\\s\u00a0\u202f]+[.,]\\d+$"));
    for (QGraphicsItem* item : form.ChartView->scene()->items()) {
        QString text;
        if (auto* t = dynamic_cast<QGraphicsTextItem*>(item))
            text = t->toPlainText();
        else if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item))
            text = t->text();
        if (number.match(text).hasMatch())
            numbers << text;
    }
    ASSERT_FALSE(numbers.isEmpty());
    for (const QString& n : numbers)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^-?\\d+,\\d+$")).match(n).hasMatch())
            << n.toStdString();
}

TEST_F(OptFormTest, FarRecordsAreListedOnceAndNeverTouched) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table1 SET Address = 32767, Type = 3 WHERE Mark = 'N_LIM'"),
                QStringLiteral("UPDATE table2 SET Count = 300 WHERE Mark = 'XX_TWAT'"),
                QStringLiteral("UPDATE table2 SET AddressPar = 32760 WHERE Mark = 'UOZ_RPM'")});
    const auto before = Bytes();
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    ASSERT_EQ(form.LoadProblems().size(), 2) << form.LoadProblems().join('\n').toStdString();
    EXPECT_TRUE(form.LoadProblems()[0].contains(QStringLiteral("N_LIM: адрес 0x7FFF")));
    EXPECT_TRUE(form.LoadProblems()[1].contains(QStringLiteral("XX_TWAT: число точек 300")));
    EXPECT_TRUE(form.LoadProblems()[1].contains(QStringLiteral("UOZ_RPM: массив значений")));
    EXPECT_EQ(form.SG1->columnCount(), 1);                  // the first vector is not shown
    EXPECT_EQ(ResultText(form, 1), QStringLiteral("6200")); // kept as stored

    QAbstractItemModel* model = form.DBGrid1->model();
    messages.clear();
    model->setData(model->index(1, ConstTableModel::ColResult), QStringLiteral("1000"));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Bytes(), before);
}

// A null or text address would read as 0 and send an entry into the code area.
TEST_F(OptFormTest, RecordsWithFieldsThatAreNotNumbersAreNeverTouched) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table1 SET Address = NULL WHERE Mark = 'UOZ_XX'"),
                QStringLiteral("UPDATE table2 SET AddressPar = 'x' WHERE Mark = 'XX_TWAT'")});
    image.WriteByte(0x0000, 0x5A);
    const auto before = Bytes();
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    ASSERT_EQ(form.LoadProblems().size(), 2) << form.LoadProblems().join('\n').toStdString();
    EXPECT_TRUE(form.LoadProblems()[0].contains(QStringLiteral("UOZ_XX: поле Address пусто")));
    EXPECT_TRUE(form.LoadProblems()[1].contains(QStringLiteral("XX_TWAT: поле AddressPar")));
    EXPECT_EQ(form.SG1->columnCount(), 1); // the first vector is not shown

    QAbstractItemModel* model = form.DBGrid1->model();
    messages.clear();
    model->setData(model->index(6, ConstTableModel::ColResult), QStringLiteral("20"));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(Bytes(), before);
}

// A formula error in the first vector is met twice while opening (showing it, then the walk
// over all vectors); the user is told once.
TEST_F(OptFormTest, FirstVectorFormulaErrorIsReportedOnce) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table2 SET InFormula = NULL WHERE Mark = 'XX_TWAT'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    ASSERT_EQ(form.LoadProblems().size(), 1) << form.LoadProblems().join('\n').toStdString();
    EXPECT_TRUE(form.LoadProblems()[0].contains(QStringLiteral("XX_TWAT")));
    EXPECT_EQ(ResultText(form, 0), QStringLiteral("850")); // the constants are still decoded
}

TEST_F(OptFormTest, MissingDatabaseAndEmptyVectorTable) {
    {
        TOptForm form(image, EvaluateParameterFormula, dbPath);
        ASSERT_EQ(form.LoadProblems().size(), 1) << form.LoadProblems().join('\n').toStdString();
        EXPECT_TRUE(form.LoadProblems()[0].contains(QStringLiteral("не найден")));
        EXPECT_EQ(form.DBGrid1->model()->rowCount(), 0);
        EXPECT_FALSE(QFile::exists(dbPath));
    }
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("DELETE FROM table2")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    EXPECT_TRUE(form.LoadProblems().isEmpty());
    EXPECT_EQ(form.SG1->columnCount(), 1);
    EXPECT_EQ(form.SG1->Cell(0, 0), QStringLiteral("№ п/п"));
    EXPECT_EQ(form.SG1->Cell(0, 2), QStringLiteral("Значение"));
}

// Types keys the way a user's keyboard delivers them: to the widget that has the focus (the
// first key opens the cell editor, which takes the focus).
void Type(const QString& keys) {
    for (QChar c : keys)
        QTest::keyClicks(QApplication::focusWidget(), QString(c));
}

// Typing as a user does: the entry is committed when the edit finishes, not key by key.
TEST_F(OptFormTest, TypedEntriesAreCommittedWhenTheEditFinishes) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // Constants: 12,5 typed into the Result of UOZ_XX (output formula X*2).
    form.DBGrid1->setFocus();
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(6, ConstTableModel::ColResult));
    Type(QStringLiteral("12,5"));
    EXPECT_EQ(image.ReadByte(0x6212), 0x1D); // still typing
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents(); // the grid closes its editor through the event queue
    EXPECT_EQ(image.ReadByte(0x6212), 25);

    // Vectors: XX_TWAT point 1 (output formula X/10), 7, 5, 0 and Enter.
    form.PageControl1->setCurrentIndex(1);
    form.SG1->setFocus();
    form.SG1->setCurrentCell(2, 1);
    Type(QStringLiteral("750"));
    EXPECT_EQ(image.ReadByte(0x6660), 150);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, form.SG1);
    const int before = form.SG1->columnWidth(1);
    Type(QStringLiteral("0000000000"));
    EXPECT_GT(form.SG1->columnWidth(1), before); // the column grows while typing
    QTest::keyClick(editor, Qt::Key_Backspace);
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(form.SG1->columnWidth(1), before); // and shrinks back
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(image.ReadByte(0x6660), 75);
    EXPECT_EQ(form.ParValues[0], 750.0);
    EXPECT_EQ(form.Series1->at(0).y(), 750.0);
    EXPECT_TRUE(form.isVisible()); // Enter finishes the entry, it does not close the window

    // An entry abandoned with Escape leaves the image and the column as they were.
    Type(QStringLiteral("123456789012"));
    EXPECT_GT(form.SG1->columnWidth(1), before);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.SG1->columnWidth(1), before);
    EXPECT_EQ(image.ReadByte(0x6660), 75);
    EXPECT_TRUE(form.isVisible());
}

// Opening a Result cell's editor and leaving it without typing is not an entry: the shown,
// rounded value must not be encoded over the bytes it was decoded from.
TEST_F(OptFormTest, ResultEditorLeftUntypedWritesNothing) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table1 SET Decimal = 0 WHERE Mark = 'UOZ_XX'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_EQ(ResultText(form, 6), QStringLiteral("15")); // raw 29, X/2 = 14.5 rounded

    form.DBGrid1->setFocus();
    form.DBGrid1->setCurrentIndex(form.DBGrid1->model()->index(6, ConstTableModel::ColResult));
    QTest::keyClick(form.DBGrid1, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, form.DBGrid1);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(image.ReadByte(0x6212), 0x1D);

    // Typing the same text is an entry like any other.
    QTest::keyClick(form.DBGrid1, Qt::Key_F2);
    editor = QApplication::focusWidget();
    ASSERT_NE(editor, form.DBGrid1);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    Type(QStringLiteral("15"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(image.ReadByte(0x6212), 30);
}

// A value cell shows its value rounded to DecimalPar places. Typing exactly that text is still
// an entry: the point takes the typed value.
TEST_F(OptFormTest, PointEntryEqualToTheRoundedTextIsCommitted) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table2 SET DecimalPar = 0 WHERE Mark = 'UOZ_RPM'")});
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.PageControl1->setCurrentIndex(1);
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(4, 0));
    ASSERT_EQ(form.CurrentVector(), 4);
    ASSERT_EQ(form.SG1->Cell(2, 2), QStringLiteral("1")); // raw 21: 21/2-10 = 0.5

    form.SG1->setFocus();
    form.SG1->setCurrentCell(2, 2);
    Type(QStringLiteral("1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ParValues[1], 1.0);
    EXPECT_EQ(image.ReadByte(0x6A01), 22); // (1+10)*2
}

// The menu command finds "database.mdb" in the working directory at the moment it runs.
TEST_F(OptFormTest, CommandOpensTheDatabaseOfTheWorkingDirectory) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'")});
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    int shown = 0;
    ShowOptFormModal = [&](TOptForm& form) {
        ++shown;
        EXPECT_TRUE(form.LoadProblems().isEmpty());
        EXPECT_EQ(form.Constants().size(), 13u);
        EXPECT_TRUE(form.isModal());
        EXPECT_EQ(form.PageControl1->currentIndex(), 0);
    };
    RunParameterWindow(image, nullptr);
    QDir::setCurrent(previous);
    EXPECT_EQ(shown, 1);
}

// A vector of 256 points fills the arrays; its last point is reached by keyboard.
TEST_F(OptFormTest, FullLengthVectorIsReachedByKeyboard) {
    MakeSQLite({QStringLiteral("UPDATE table1 SET InFormula = 'X' WHERE Mark = 'RESERV'"),
                QStringLiteral("UPDATE table2 SET Count = 256 WHERE Mark = 'UOZ_RPM'")});
    for (int i = 0; i < 256; ++i)
        image.WriteByte(static_cast<uint16_t>(0x6A00 + i), static_cast<uint8_t>(i));
    TOptForm form(image, EvaluateParameterFormula, dbPath);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.PageControl1->setCurrentIndex(1);
    QElapsedTimer timer;
    timer.start();
    form.DBGrid2->setCurrentIndex(form.DBGrid2->model()->index(4, 0));
    const qint64 loadMs = timer.elapsed();
    EXPECT_LT(loadMs, 2000) << "loading 256 points took " << loadMs << " ms";
    ASSERT_EQ(form.SG1->columnCount(), 257);
    EXPECT_EQ(form.ParValues[255], 255 / 2.0 - 10);
    EXPECT_EQ(form.SG1->Cell(256, 2), QStringLiteral("117,5"));
    form.SG1->setFocus();
    QTest::keyClick(form.SG1, Qt::Key_End);
    EXPECT_EQ(form.SelectedPoint, 255);
    EXPECT_GT(form.SG1->horizontalScrollBar()->value(), 0); // scrolled to the last point
}

} // namespace
