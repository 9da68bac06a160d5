#pragma once

#include <QIcon>

// The three tool-bar images, drawn at start-up so the program carries no image files.
QIcon OpenIcon();
QIcon SaveIcon();
QIcon HelpIcon();
