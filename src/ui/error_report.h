#pragma once

#include <QString>
#include <functional>

class QWidget;

// Runs one user command and shows any error the core raises in a message box, so that no
// exception crosses a Qt frame and the program goes on. Returns false when the command failed.
bool RunGuarded(QWidget* parent, const std::function<void()>& command);

// The message box of the top-level error report. Tests replace it to see the text instead of
// a modal dialog.
extern std::function<void(QWidget* parent, const QString& text)> ShowErrorMessage;
