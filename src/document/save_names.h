#pragma once

#include <QString>

// The two files one save writes: the chosen name with its extension replaced by ".bin" and
// ".hex" (appended when it has none). Folder and stem stay exactly as typed; the extensions
// take the case of the typed one letter by letter, so "Demo.HEX" gives "Demo.BIN" and
// "Demo.HEX", and "demo.hex" gives "demo.bin" and "demo.hex".
struct SaveNames {
    QString bin;
    QString hex;
};
SaveNames MakeSaveNames(const QString& chosen);
