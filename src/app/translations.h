#pragma once

class QCoreApplication;

// Loads the toolkit's Russian translation, so that the standard buttons and dialogs (Yes, No,
// Cancel, the file dialogs) speak the language of the program's own texts. Returns false when
// that translation is not installed; the toolkit's English texts then remain.
bool InstallToolkitTranslation(QCoreApplication& app);
