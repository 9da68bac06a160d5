#pragma once

#include "image/edit_steps.h"
#include "params/database_location.h"

#include <QString>
#include <functional>

class FirmwareImage;
class QWidget;
class TOptForm;

// The main window's command "Константы и вектора": creates the parameter window with the
// program's formula evaluator on the database the user chose, else on "database.mdb" of the
// current working directory, else on the one beside the opened image (imageFile); shows it
// modally and destroys it. The caller then decodes the image again and repaints.
void RunParameterWindow(FirmwareImage& image, QWidget* parent,
                        const QString& chosenDatabase = QString(),
                        const QString& imageFile = QString(),
                        const EditPath& edit = DirectEditPath());

// The parameter database as the window looks it up now: the chosen file, else "database.mdb" of
// the working folder, else the one beside imageFile.
DatabaseLocation FindParameterDatabase(const QString& chosenDatabase, const QString& imageFile);

// Shows the window modally; tests replace it to drive the window without a modal loop.
extern std::function<void(TOptForm& form)> ShowOptFormModal;
