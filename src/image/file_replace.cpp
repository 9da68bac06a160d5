#include "image/file_replace.h"

#include "image/file_system_calls.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a chain of symbolic links to the file a save must replace or create. The chain is
// followed by hand, because the system's own resolution gives up on a dangling link, whose
// target is exactly the file to create.
std::string FollowLinks(const std::string& name) {
    std::string path = name;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return path;
            throw FileWriteError(name, Reason(errno));
        }
        if (!S_ISLNK(st.st_mode))
            return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            throw FileWriteError(name, Reason(errno));
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
    }
    throw FileWriteError(name, Reason(ELOOP));
}

// A short name of its own, in the target's folder, created exclusively: it never is, and never
// removes, a file of the user's. Created with the usual mode 0666, which the umask narrows.
int CreateTempFile(const std::string& name, const std::string& target, std::string& temp) {
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<int> pick(0, sizeof Letters - 2);
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folder + "/.velmaris-";
        for (int i = 0; i < 8; ++i)
            temp += Letters[pick(random)];
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            throw FileWriteError(name, Reason(errno));
    }
    throw FileWriteError(name, Reason(EEXIST));
}

// Temporary files of saves that were killed half-way (".velmaris-" and eight letters or
// digits, or that and ".previous" or SQLite's "-journal") are removed from the folder of the next
// save, once they are older than any save could take: another editor's save in progress is never
// touched.
bool IsOwnTemporaryName(const std::string& name) {
    const std::string prefix = ".velmaris-";
    std::string rest = name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : std::string();
    for (const std::string suffix : {".previous", "-journal"})
        if (rest.size() == 8 + suffix.size() && rest.compare(8, suffix.size(), suffix) == 0)
            rest.resize(8);
    if (rest.size() != 8)
        return false;
    for (const char c : rest)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

constexpr time_t StaleSeconds = 10 * 60;

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (!IsOwnTemporaryName(entry->d_name))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            now - st.st_mtime > StaleSeconds)
            unlink(path.c_str());
    }
    closedir(dir);
}

// Makes renames in a folder durable; a failure here does not undo a save that happened.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Gives the previous contents of a file that a failed save could not put back a visible name
// beside it ("a.previous.bin", then "a.previous-2.bin" and on), never over another file: the
// hidden temporary name they are under would be cleared by a later save once old, and a file
// dialog does not show it. Returns the name they are under now.
std::string KeepPrevious(const std::string& kept, const std::string& target) {
    const std::size_t slash = target.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = target.find_last_of('.');
    if (dot == std::string::npos || dot <= start)
        dot = target.size();
    for (int n = 1; n <= 100; ++n) {
        const std::string name = target.substr(0, dot) + ".previous" +
                                 (n == 1 ? std::string() : "-" + std::to_string(n)) +
                                 target.substr(dot);
        if (link(kept.c_str(), name.c_str()) == 0) {
            unlink(kept.c_str());
            return name;
        }
        if (errno == EEXIST)
            continue;
        // A file system without hard links may still move a name without replacing another.
        if (renameat2(AT_FDCWD, kept.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
            return name;
        if (errno != EEXIST)
            break;
    }
    return kept;
}

} // namespace

FileSystemCalls& ReplacementSystemCalls() {
    static FileSystemCalls calls{::fsync, ::renameat2, std::rename};
    return calls;
}

FileWriteError::FileWriteError(const std::string& file, const std::string& reason)
    : std::runtime_error(file + ": " + reason) {}

FileReplacement::FileReplacement(const std::string& fileName) : name_(fileName) {
    if (name_.empty())
        throw FileWriteError(name_, Reason(ENOENT));
    // What the name finally stands for, links followed by the system. This also sees through
    // links that name no path, such as those of /proc/self/fd to a pipe or a terminal.
    struct stat st;
    const bool exists = stat(name_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        throw FileWriteError(name_, Reason(EISDIR));
    if (exists && !S_ISREG(st.st_mode))
        throw FileWriteError(name_, "not a regular file");
    target_ = FollowLinks(name_);
    struct stat old;
    const bool replacing = lstat(target_.c_str(), &old) == 0;
    if (exists != replacing)
        throw FileWriteError(name_, "the link cannot be followed to a file");
    // A file the user may not write (for example one marked read-only to protect it) is not
    // replaced behind their back, although the folder would allow the rename.
    if (replacing && access(target_.c_str(), W_OK) != 0)
        throw FileWriteError(name_, Reason(errno));
    RemoveStaleTemporaries(FolderOf(target_));
    fd_ = CreateTempFile(name_, target_, temp_);
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0)
        close(fd_);
    if (!committed_)
        std::remove(temp_.c_str());
}

void FileReplacement::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd_, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileWriteError(name_, Reason(n < 0 ? errno : EIO));
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void FileReplacement::Finish() {
    struct stat old;
    if (lstat(target_.c_str(), &old) == 0) {
        struct stat now;
        if (fstat(fd_, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
            // Root keeps owner and group; anyone else keeps at least a group they are in.
            if (fchown(fd_, old.st_uid, old.st_gid) != 0 &&
                fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0) {
                // Neither is allowed: the new file is the user's own, as any new file would be.
            }
        }
        // After the change of owner, which may clear the set-id bits.
        if (fchmod(fd_, old.st_mode & 07777) != 0)
            throw FileWriteError(name_, Reason(errno));
    }
    if (ReplacementSystemCalls().fsync(fd_) != 0)
        throw FileWriteError(name_, Reason(errno));
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        throw FileWriteError(name_, Reason(errno));
}

void CommitReplacements(const std::vector<FileReplacement*>& files) {
    // Two names for one file (a link to the other, say) would swap each other's contents.
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            struct stat a, b;
            const bool same = files[i]->target_ == files[j]->target_ ||
                              (lstat(files[i]->target_.c_str(), &a) == 0 &&
                               lstat(files[j]->target_.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                               a.st_ino == b.st_ino);
            if (same)
                throw FileWriteError(files[i]->name_, "the same file as " + files[j]->name_);
        }
    enum class Move { Swapped, Created, Replaced };
    std::vector<Move> moves;
    // On a file system that cannot swap, the previous file is kept under a second name while
    // the others are moved, so that a later failure can still put it back.
    std::vector<std::string> previous(files.size());
    for (FileReplacement* f : files) {
        struct stat st;
        const bool replacing = lstat(f->target_.c_str(), &st) == 0;
        // Swapping keeps the previous file under the temporary name until every file is in
        // place, so a later failure can swap it back.
        Move move = replacing ? Move::Swapped : Move::Created;
        const FileSystemCalls& calls = ReplacementSystemCalls();
        int rc = calls.renameat2(AT_FDCWD, f->temp_.c_str(), AT_FDCWD, f->target_.c_str(),
                                 replacing ? RENAME_EXCHANGE : RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system that cannot swap: a plain rename, the previous file kept by a link.
            move = replacing ? Move::Replaced : Move::Created;
            std::string& kept = previous[moves.size()];
            if (replacing && link(f->target_.c_str(), (f->temp_ + ".previous").c_str()) == 0)
                kept = f->temp_ + ".previous";
            rc = calls.rename(f->temp_.c_str(), f->target_.c_str());
        }
        if (rc != 0) {
            const int error = errno;
            // Every file already moved gets its previous contents back; where that fails the
            // message says what the file holds now and where its previous contents are.
            std::string said;
            if (!previous[moves.size()].empty())
                unlink(previous[moves.size()].c_str()); // this file was not replaced
            for (std::size_t i = moves.size(); i-- > 0;) {
                FileReplacement* done = files[i];
                std::string now;
                if (moves[i] == Move::Swapped) {
                    if (calls.renameat2(AT_FDCWD, done->temp_.c_str(), AT_FDCWD,
                                        done->target_.c_str(), RENAME_EXCHANGE) == 0) {
                        now = "as it was";
                    } else {
                        done->committed_ = true; // the temporary name holds the previous file
                        now = "holds the new image; its previous contents are in " +
                              KeepPrevious(done->temp_, done->target_);
                    }
                } else if (moves[i] == Move::Created) {
                    now = std::rename(done->target_.c_str(), done->temp_.c_str()) == 0
                              ? "not created"
                              : "holds the new image";
                } else {
                    done->committed_ = true; // the temporary name is gone
                    if (previous[i].empty())
                        now = "holds the new image; its previous contents could not be kept";
                    else if (calls.rename(previous[i].c_str(), done->target_.c_str()) == 0)
                        now = "as it was";
                    else
                        now = "holds the new image; its previous contents are in " +
                              KeepPrevious(previous[i], done->target_);
                }
                said += "; " + done->name_ + " " + now;
            }
            throw FileWriteError(f->name_, Reason(error) + said);
        }
        moves.push_back(move);
    }
    std::set<std::string> folders;
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i]->committed_ = true;
        if (moves[i] == Move::Swapped)
            std::remove(files[i]->temp_.c_str()); // the previous contents
        if (!previous[i].empty())
            unlink(previous[i].c_str());
        folders.insert(FolderOf(files[i]->target_));
    }
    for (const std::string& folder : folders)
        SyncFolder(folder);
}

void WriteFilesAtomically(const std::vector<FileContents>& files) {
    std::vector<std::unique_ptr<FileReplacement>> replacements;
    std::vector<FileReplacement*> order;
    for (const FileContents& f : files) {
        replacements.push_back(std::make_unique<FileReplacement>(f.name));
        order.push_back(replacements.back().get());
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        replacements[i]->Write(files[i].data, files[i].size);
        replacements[i]->Finish();
    }
    CommitReplacements(order);
}
