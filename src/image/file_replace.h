#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

// A file write that failed: the file it concerns, as the caller named it, and the system's
// reason. what() reads "<file>: <reason>".
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const std::string& file, const std::string& reason);
};

// Replaces one file through a temporary file in the folder of the file that is replaced, so a
// failed or interrupted write never destroys the previous contents.
//
// The file replaced is the one the name finally points to: symbolic links are followed, and a
// dangling link gets its target created. Only a regular file is ever replaced; a folder, a
// device, a pipe, a link that cannot be followed or a file the user may not write is refused
// before anything is written. The new file keeps the permissions, and where the system allows
// it the owner and group, of the one it replaces. The temporary file has a short name of its
// own, so any valid file name can be saved, and is removed unless the replacement is committed.
//
// Every failure throws FileWriteError.
class FileReplacement {
public:
    explicit FileReplacement(const std::string& fileName);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // The temporary file, for a library that writes the contents itself by name.
    const std::string& TempName() const { return temp_; }

    // Appends to the temporary file.
    void Write(const void* data, std::size_t size);
    // Flushes the temporary file to the disk and gives it the replaced file's permissions.
    void Finish();

private:
    friend void CommitReplacements(const std::vector<FileReplacement*>& files);

    std::string name_;   // as the caller gave it; named in errors
    std::string target_; // the file that is replaced or created
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

// Moves finished temporary files over their targets, all or none: when one cannot be moved,
// the files already replaced get their previous contents back (on file systems that can swap
// two names atomically, which the usual Linux ones can).
void CommitReplacements(const std::vector<FileReplacement*>& files);

// One whole file to write.
struct FileContents {
    std::string name;
    const void* data;
    std::size_t size;
};

// Writes every file completely and flushes it to the disk before any of them replaces its
// target; then replaces them all together. On any failure no previous file is changed.
void WriteFilesAtomically(const std::vector<FileContents>& files);
