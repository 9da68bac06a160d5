#pragma once

#include "document/comparison.h"
#include "maps/image_compare.h"

#include <QDialog>
#include <vector>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

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
