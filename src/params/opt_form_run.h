#pragma once

#include "image/edit_steps.h"

#include <functional>

class FirmwareImage;
class QWidget;
class TOptForm;

// The main window's command "Константы и вектора": creates the parameter window on
// "database.mdb" of the current working directory with the program's formula evaluator, shows
// it modally and destroys it. The caller then decodes the image again and repaints.
void RunParameterWindow(FirmwareImage& image, QWidget* parent,
                        const EditPath& edit = DirectEditPath());

// Shows the window modally; tests replace it to drive the window without a modal loop.
extern std::function<void(TOptForm& form)> ShowOptFormModal;
