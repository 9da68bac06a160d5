#pragma once

#include "maps/image_compare.h"

#include <QDialog>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// One line of the differences window: what it stands for, so that a command can act on it.
struct DiffLine {
    enum Kind { Cell, Ident, Equipment, Checksum, Bytes, Parameter };
    Kind kind;
    int a = 0; // Cell: map kind; Ident: field; Equipment: item; Bytes: first address;
               // Parameter: record of its table
    int b = 0; // Cell: row; Bytes: last address; Parameter: vector point, -1 for a constant
    int c = 0; // Cell: column
};

// The "Различия" window: every difference between the image and the reference as a line with
// both values, grouped by maps, constants and vectors, identification, equipment, checksum and
// other bytes. A double-click on a map line shows that cell in the main window; "Взять из эталона"
// copies the selected lines from the reference. The window only lists; the main window acts.
class TDiffForm : public QDialog {
    Q_OBJECT
public:
    explicit TDiffForm(QWidget* parent = nullptr);

    // Lists the differences; both images decoded with the same map set. Where the same lines
    // are listed again, their selection stays.
    void Fill(const ImageDifferences& diff, const FirmwareImage& image,
              const FirmwareImage& reference);
    // The lines selected, in list order; a selected group stands for all its lines.
    std::vector<DiffLine> SelectedLines() const;

    QTreeWidget* Tree;
    QPushButton* TakeButton;

signals:
    void ShowCell(int map, int row, int col);
    void Take(const std::vector<DiffLine>& lines);

private:
    QTreeWidgetItem* Group(const QString& title);
};
