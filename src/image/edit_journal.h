#pragma once

#include "image/change_set.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One step of the edit history as the journal keeps it: its name (UTF-8), when it was made
// (milliseconds since the epoch) and its bytes.
struct JournalStep {
    std::string name;
    int64_t timeMs = 0;
    ChangeSet changes;
    bool operator==(const JournalStep& o) const {
        return name == o.name && timeMs == o.timeMs && changes == o.changes;
    }
};

// What a journal holds: the file it belongs to, that file's modification time when the journal
// began, and every change applied to the image since, in order. The journal of an image that
// has no file (read from the unit) names its source instead and carries the image as it was
// when the journal began, the base the changes apply to.
struct JournalContents {
    std::string imageFile;
    int64_t fileTimeMs = 0;
    std::string source;        // e.g. "ЭБУ, прочитан 17:19"; empty for a file's journal
    std::vector<uint8_t> base; // 32 KB for an image without a file, else empty
    std::vector<JournalStep> steps;
};

// The crash journal of one image file's edit history. Every change the history applies to the
// image (a new step, an undo as the reverse change, a redo) is appended as one line and flushed
// at once, so a killed program leaves every change it made behind, and replaying the lines in
// order on the file gives the image as it was. Lines are text: a record letter, its fields and a
// CRC-32 of the line, so that damage is recognised instead of restored.
//   header  "VELMARIS-JOURNAL 2 <file time> <file name in hex>"
//   "S <source in hex> <base64 of 32 KB>"  right after the header, for an image without a file
//   "P <time> <name in hex> <changes>"  a change applied to the image
//   "M <time> <name in hex> <changes>"  the last change, grown by a merge (replaces it)
// Changes are runs of neighbouring addresses separated by commas: the run's first address in 4
// hex digits, then base64 of its before bytes followed by its after bytes.
// Writes raise std::runtime_error with a short English text when the file cannot be written.
// An open journal is locked, so that another running editor neither takes it over nor offers it
// for recovery.
class EditJournal {
public:
    EditJournal() = default;
    ~EditJournal();
    EditJournal(const EditJournal&) = delete;
    EditJournal& operator=(const EditJournal&) = delete;

    // Starts an empty journal at path (replacing what was there) for imageFile as it was at
    // fileTimeMs.
    void Start(const std::string& path, const std::string& imageFile, int64_t fileTimeMs);
    // Starts an empty journal at path for an image without a file: its source and its 32 KB.
    void StartUnsaved(const std::string& path, const std::string& source,
                      const std::vector<uint8_t>& base);
    void Push(const JournalStep& step);
    void Amend(const JournalStep& step);
    // Stops writing; the file stays for a later recovery.
    void Close();
    // Stops writing and removes the file: nothing in it needs recovering.
    void Discard();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

private:
    void Open(const std::string& path);
    void Append(const std::string& line);

    std::FILE* file_ = nullptr;
    std::string path_;
};

// Reads a journal. A last line cut short by a crash is left out; anything else
// that does not read back exactly raises std::runtime_error("damaged journal: ...").
JournalContents ReadJournal(const std::string& path);

// True while another editor (or this one) has the journal at path open.
bool JournalInUse(const std::string& path);

// Every change of a journal joined into one change set: what it does to the file.
ChangeSet JournalChanges(const JournalContents& contents);

// The change set that takes back the given one.
ChangeSet ReverseChanges(const ChangeSet& changes);
