#pragma once

#include "image/edit_steps.h"
#include "params/parameter_decode.h"
#include "params/parameter_records.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ConstTableModel;
class FirmwareImage;
class ParamDatabase;
class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QTabWidget;
class QTableView;
class TMySG;
class TextTableModel;

// The parameter window: constants, vectors and the address list of the parameter database,
// read from and written into the image. Modal; created for one use and destroyed on close.
class TOptForm : public QDialog {
    Q_OBJECT

public:
    // Opens the database at dbPath (the main window passes "database.mdb" of the working
    // directory) and decodes every constant and vector from the image. Problems of the opening
    // are collected in LoadProblems() and shown once the window is up; the window opens anyway.
    TOptForm(FirmwareImage& image, FormulaEvaluator eval, const QString& dbPath,
             QWidget* parent = nullptr);
    ~TOptForm() override;

    // Confirmation of Ctrl+Delete; tests replace it.
    static std::function<bool(QWidget* parent)> ConfirmDelete;
    // The question before a value outside the record's Min..Max is stored (default "Нет");
    // tests replace it.
    static std::function<bool(QWidget* parent, const QString& question)> ConfirmOutOfLimits;

    // Operations named after the events that run them.
    void TableConstResultChange(int row, std::optional<double> value);
    void TableVectorAfterScroll(int row);
    void LoadVector();
    void DrawVectorChart();
    void SG1SelectCell(int col, int row);
    // Commits the text of a value cell of SG1 (column = point + 1) into the image.
    void CommitPointText(int col, const QString& text);
    // Removes the current record of the constants (table 0) or vectors (table 1) grid after
    // confirmation.
    void DeleteCurrentRecord(int table);

    // Adds a note about the whole window to the status line, after the database it uses.
    void AddStatusNote(const QString& note);

    // State for tests and for the main window.
    const QStringList& LoadProblems() const { return loadProblems_; }
    bool ReadOnlyStore() const;
    const std::vector<ConstantRecord>& Constants() const { return constants_; }
    const std::vector<VectorRecord>& Vectors() const { return vectors_; }
    int CurrentVector() const { return currentVector_; }
    int SelectedPoint = 0;
    double ArgValues[MaxVectorPoints] = {};
    double ParValues[MaxVectorPoints] = {};

    // Components, named as in the window's layout.
    QTabWidget* PageControl1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QTableView* DBGrid2 = nullptr;
    QTableView* DBGrid3 = nullptr;
    TMySG* SG1 = nullptr;
    QChartView* ChartView = nullptr;
    QChart* Chart1 = nullptr;
    QLineSeries* Series1 = nullptr;
    QScatterSeries* Series2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* StatusLine = nullptr;

    // Every value the window stores goes this way, one step per value; the main window makes
    // each a step of its edit history.
    EditPath Edit = DirectEditPath();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildComponents();
    // Opens the database, reads its three tables, decodes every constant and vector from the
    // image, stores each decoded Result back and sets the status line.
    void OpenDatabaseAndDecode();
    bool ResultEntered(int row, const QString& text);
    void ShowProblems();
    // The status line: what holds for the whole window, then the note on the shown vector.
    void SetVectorStatus(const QString& text);

    FirmwareImage& image_;
    FormulaEvaluator eval_;
    QString dbPath_;
    std::unique_ptr<ParamDatabase> db_;
    std::vector<ConstantRecord> constants_;
    std::vector<VectorRecord> vectors_;
    std::vector<AddressRecord> addresses_;
    ConstTableModel* constModel_ = nullptr;
    TextTableModel* vectorModel_ = nullptr;
    TextTableModel* addressModel_ = nullptr;
    int currentVector_ = -1;
    int shownPoints_ = 0; // points of the current vector shown in SG1 and the chart
    bool opening_ = false;
    QStringList loadProblems_;
    QString baseStatus_;
    QStringList statusNotes_;
    QString vectorStatus_;
};
