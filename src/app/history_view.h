#pragma once

#include <QStyledItemDelegate>

class EditHistory;
class QAction;
class QUndoView;

// Draws the rows of the history list with the steps' names, which the history keeps in its log
// rather than as the commands' texts. Row 0 is the file as opened, drawn as the list gives it.
// The row of the state last saved (or opened) says so.
class StepNameDelegate : public QStyledItemDelegate {
public:
    StepNameDelegate(const EditHistory& history, QObject* parent);
    QString RowText(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    const EditHistory& history_;
};

// The "История изменений" list: clicking a row moves the image to that point of the history.
QUndoView* NewHistoryView(EditHistory& history, QWidget* parent);
// Makes undo and redo actions of the history: each names the step it takes back or makes again,
// is enabled while there is one, and does nothing while a step is being recorded.
void ConnectUndoActions(EditHistory& history, QAction* undo, QAction* redo);
// The tool window around the list, hidden until shown.
QWidget* NewHistoryWindow(EditHistory& history, QWidget* parent);
