#pragma once

#include "image/change_set.h"

#include <QDateTime>
#include <QString>
#include <vector>

// A crash journal a run of the editor left behind that can still be recovered: the journal of a
// file that is still as it was when the journal began, or the journal of an image without a
// file (read from the unit), which carries its own base. Journals another running editor
// is writing, damaged ones and those of files changed since are not listed (and not removed).
struct LeftJournal {
    QString path;      // the journal itself
    QString imageFile; // the file it belongs to; empty for an image without a file
    QString source;    // the source of an image without a file ("ЭБУ, прочитан 17:19")
    std::vector<uint8_t> base; // that image as the journal began (32 KB), else empty
    ChangeSet changes;         // what it does to the file or the base
    QDateTime lastChange;      // when its last step was made
};

// The folder the journals live in.
QString JournalFolder();

// The journals in folder that can be recovered, the latest change first.
std::vector<LeftJournal> FindLeftJournals(const QString& folder);

// The line that offers a left journal: what it belongs to, the bytes it changes, and when.
QString LeftJournalText(const LeftJournal& journal);
