// The main window's command "Константы и вектора": the parameter window opens modally on the
// working directory's database, and afterwards the image is decoded again.
#include "app/main_form.h"
#include "child_named.h"
#include "document/edit_history.h"
#include "params/view/my_sg.h"
#include "params/view/opt_form.h"
#include "params/view/opt_form_models.h"
#include "params/view/opt_form_run.h"
#include "ui/error_report.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A database with one constant: the first word of the maximum-air curve, stored as is.
void MakeDatabase(const QString& path, int address) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mk"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE table1 (Id INTEGER PRIMARY KEY, Mark VARCHAR(16), Name VARCHAR(128), "
            "Result DOUBLE, Unit VARCHAR(16), Min DOUBLE, Max DOUBLE, InFormula VARCHAR(50), "
            "OutFormula VARCHAR(50), Address INTEGER, Type SMALLINT, Decimal SMALLINT)")));
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE table2 (ID INTEGER PRIMARY KEY, Mark VARCHAR(16), Name VARCHAR(128), "
            "Unit VARCHAR(16), Min DOUBLE, Max DOUBLE, AddressPar INTEGER, TypePar SMALLINT, "
            "DecimalPar SMALLINT, InFormula VARCHAR(16), OutFormula VARCHAR(16), "
            "AddressArg INTEGER, TypeArg SMALLINT, DecimalArg SMALLINT, FormulaArg VARCHAR(16), "
            "MarkArg VARCHAR(16), UnitArg VARCHAR(16), Count SMALLINT)")));
        ASSERT_TRUE(
            q.exec(QStringLiteral("CREATE TABLE table3 (Name VARCHAR(128), Val VARCHAR(4))")));
        q.prepare(QStringLiteral("INSERT INTO table1 (Mark, Name, Unit, InFormula, OutFormula, "
                                 "Address, Type, Decimal) VALUES ('PMAX0', 'Pmax', '', 'X', "
                                 "'X', ?, 3, 0)"));
        q.addBindValue(address);
        ASSERT_TRUE(q.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mk"));
}

// Adds a vector of three word points over word arguments, both stored as is.
void AddVector(const QString& path, int parAddress, int argAddress) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mv"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        q.prepare(QStringLiteral(
            "INSERT INTO table2 (Mark, Name, Unit, AddressPar, TypePar, DecimalPar, InFormula, "
            "OutFormula, AddressArg, TypeArg, DecimalArg, FormulaArg, MarkArg, UnitArg, Count) "
            "VALUES ('TV', 'Tv', '', ?, 3, 0, 'X', 'X', ?, 3, 0, 'X', 'N', '', 3)"));
        q.addBindValue(parAddress);
        q.addBindValue(argAddress);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mv"));
}

TEST(ParameterCommand, EditsReachTheDecodedTablesWhileTheWindowIsOpen) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto form = std::make_unique<TMainForm>();
    FirmwareImage& image = form->GetImage();
    MakeDatabase(dir.filePath(QStringLiteral("database.mdb")), image.AddrPmax);
    QStringList errors;
    ShowErrorMessage = [&](QWidget*, const QString& text) { errors << text; };

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    bool shown = false;
    ShowOptFormModal = [&](TOptForm& opt) {
        shown = true;
        EXPECT_TRUE(opt.isModal());
        EXPECT_EQ(opt.parent(), form.get());
        QAbstractItemModel* model = opt.DBGrid1->model();
        EXPECT_TRUE(
            model->setData(model->index(0, ConstTableModel::ColResult), QStringLiteral("900")));
        EXPECT_EQ(image.PmaxRaw[0], 900); // the image decodes each stored value at once
    };
    ChildNamed(*form, "MOpt")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(image.ReadWord(image.AddrPmax), 900);
    EXPECT_EQ(image.PmaxRaw[0], 900);

    // Its normal size shows the constants' columns whole; the size the user leaves it at is the
    // size it comes back at.
    ShowOptFormModal = [&](TOptForm& opt) {
        QHeaderView* header = opt.DBGrid1->horizontalHeader();
        const int last = header->count() - 1;
        EXPECT_GE(opt.normalGeometry().width(),
                  header->sectionPosition(last) + header->sectionSize(last));
        opt.setWindowState(Qt::WindowNoState);
        opt.resize(911, 577);
    };
    ChildNamed(*form, "MOpt")->trigger();
    QSize reopened;
    ShowOptFormModal = [&](TOptForm& opt) { reopened = opt.size(); };
    ChildNamed(*form, "MOpt")->trigger();
    EXPECT_EQ(reopened, QSize(911, 577));
    QDir::setCurrent(previous);

    image.MarkSaved();
    form.reset();
    ShowOptFormModal = [](TOptForm& opt) { opt.exec(); };
    QLocale::setDefault(QLocale::c());
}

// Each stored value is one step: undo restores the exact bytes, redo the value again, and the
// decoded tables follow.
TEST(ParameterCommand, EveryStoredValueIsAStepOfTheHistory) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto form = std::make_unique<TMainForm>();
    FirmwareImage& image = form->GetImage();
    image.WriteWord(image.AddrPmax, 0x1234);
    image.MarkSaved();
    MakeDatabase(dir.filePath(QStringLiteral("database.mdb")), image.AddrPmax);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ShowOptFormModal = [&](TOptForm& opt) {
        QAbstractItemModel* model = opt.DBGrid1->model();
        const QModelIndex result = model->index(0, ConstTableModel::ColResult);
        EXPECT_TRUE(model->setData(result, QStringLiteral("900")));
        EXPECT_TRUE(model->setData(result, QStringLiteral("901")));
    };
    ChildNamed(*form, "MOpt")->trigger();
    QDir::setCurrent(previous);
    QUndoStack& stack = *form->Document().History().Stack();
    const int steps = stack.count();
    EXPECT_EQ(form->Document().History().UndoName(), "Константа Pmax");
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(image.ReadWord(image.AddrPmax), 900);
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(image.ReadWord(image.AddrPmax), 0x1234);
    EXPECT_EQ(image.PmaxRaw[0], 0x1234);
    EXPECT_FALSE(image.IsModified());
    ChildNamed(*form, "ARedo")->trigger();
    ChildNamed(*form, "ARedo")->trigger();
    EXPECT_EQ(image.ReadWord(image.AddrPmax), 901);
    EXPECT_EQ(image.PmaxRaw[0], 901);
    EXPECT_EQ(stack.count(), steps);

    image.MarkSaved();
    form.reset();
    ShowOptFormModal = [](TOptForm& opt) { opt.exec(); };
    QLocale::setDefault(QLocale::c());
}

} // namespace

// A vector point is a step as a constant is: undo gives back the exact bytes before it, redo the
// exact bytes after it.
TEST(ParameterCommand, EveryVectorPointIsAStepOfTheHistory) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto form = std::make_unique<TMainForm>();
    FirmwareImage& image = form->GetImage();
    const int par = 0x5000, arg = 0x5010;
    for (int i = 0; i < 3; ++i) {
        image.WriteWord(par + 2 * i, 0x1234 + i);
        image.WriteWord(arg + 2 * i, 1000 * (i + 1));
    }
    image.MarkSaved();
    const std::vector<uint8_t> before(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    const QString db = dir.filePath(QStringLiteral("database.mdb"));
    MakeDatabase(db, image.AddrPmax);
    AddVector(db, par, arg);
    QStringList errors;
    ShowErrorMessage = [&](QWidget*, const QString& text) { errors << text; };
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ShowOptFormModal = [&](TOptForm& opt) {
        ASSERT_EQ(opt.CurrentVector(), 0);
        opt.SG1->EditorCommitted(2, 2, QStringLiteral("900"));
        opt.SG1->EditorCommitted(2, 2, QStringLiteral("901"));
    };
    ChildNamed(*form, "MOpt")->trigger();
    QDir::setCurrent(previous);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    ASSERT_EQ(image.ReadWord(par + 2), 901);
    const std::vector<uint8_t> after(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    const auto data = [&] {
        return std::vector<uint8_t>(image.Bytes(), image.Bytes() + FirmwareImage::Size);
    };
    EXPECT_EQ(form->Document().History().UndoName(), "Вектор Tv, точка 2");
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(image.ReadWord(par + 2), 900);
    ChildNamed(*form, "AUndo")->trigger();
    EXPECT_EQ(data(), before);
    ChildNamed(*form, "ARedo")->trigger();
    ChildNamed(*form, "ARedo")->trigger();
    EXPECT_EQ(data(), after);

    image.MarkSaved();
    form.reset();
    ShowOptFormModal = [](TOptForm& opt) { opt.exec(); };
    QLocale::setDefault(QLocale::c());
}
