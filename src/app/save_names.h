#pragma once

#include <QString>

// The two files one save writes: the chosen name with its extension replaced by ".bin" and
// ".hex" (appended when it has none). The file name is lower-cased; the folder is kept as
// typed, since on a case-sensitive file system a lower-cased folder may not exist.
struct SaveNames {
    QString bin;
    QString hex;
};
SaveNames MakeSaveNames(const QString& chosen);
