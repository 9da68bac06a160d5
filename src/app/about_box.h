#pragma once

#include <QString>

class QWidget;

// «О программе»: the program's name, version, copyright and licence.
QString AboutText();

// Shows AboutText() in a message box owned by parent.
void ShowAboutBox(QWidget* parent);
