// The history list: Qt's undo view over the history's stack, showing the steps' names.
#include "app/history_view.h"

#include "document/edit_history.h"

#include <QAction>
#include <QUndoStack>
#include <QUndoView>
#include <QVBoxLayout>

StepNameDelegate::StepNameDelegate(const EditHistory& history, QObject* parent)
    : QStyledItemDelegate(parent), history_(history) {}

QString StepNameDelegate::RowText(const QModelIndex& index) const {
    const QString name =
        index.row() == 0 ? index.data().toString() : history_.StepName(index.row() - 1);
    // The state the file holds: where to go back to for what was saved last.
    return index.row() == history_.Stack()->cleanIndex() ? name + QStringLiteral(" — сохранено")
                                                         : name;
}

void StepNameDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = RowText(index);
}

QUndoView* NewHistoryView(EditHistory& history, QWidget* parent) {
    auto* view = new QUndoView(history.Stack(), parent);
    view->setObjectName(QStringLiteral("HistoryView"));
    view->setEmptyLabel(QStringLiteral("Файл как открыт"));
    view->setItemDelegate(new StepNameDelegate(history, view));
    return view;
}

QWidget* NewHistoryWindow(EditHistory& history, QWidget* parent) {
    auto* window = new QWidget(parent, Qt::Tool);
    window->setObjectName(QStringLiteral("HistoryWindow"));
    window->setWindowTitle(QStringLiteral("История изменений"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(NewHistoryView(history, window));
    window->resize(300, 400);
    return window;
}

void ConnectUndoActions(EditHistory& history, QAction* undo, QAction* redo) {
    auto caption = [](QAction* action, const QString& verb, const QString& step) {
        const QString text = step.isEmpty() ? verb : verb + QStringLiteral(": ") + step;
        action->setText(text);
        action->setToolTip(text);
    };
    QObject::connect(&history, &EditHistory::NamesChanged, undo,
                     [=](const QString& undoName, const QString& redoName) {
                         caption(undo, QStringLiteral("Отменить"), undoName);
                         caption(redo, QStringLiteral("Повторить"), redoName);
                     });
    QUndoStack* stack = history.Stack();
    QObject::connect(stack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    QObject::connect(stack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    undo->setEnabled(false);
    redo->setEnabled(false);
    QObject::connect(undo, &QAction::triggered, &history, [&history] {
        if (!history.Recording())
            history.Stack()->undo();
    });
    QObject::connect(redo, &QAction::triggered, &history, [&history] {
        if (!history.Recording())
            history.Stack()->redo();
    });
}
