#pragma once

#include "ui/command_dialogs.h"

#include <QString>

class QWidget;

// The parameter database file the user chose under "Настройки → База параметров…", kept between
// runs; empty while none was chosen.
QString ChosenDatabase();
// Asks for the database file, the dialog preset with the one in use (the chosen one, else the
// one found beside the loaded file or in the working folder), and remembers the answer.
void ChooseDatabase(const CommandDialogs& dialogs, QWidget* parent, const QString& loadedFile);
