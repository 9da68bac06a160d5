#pragma once

#include "image/file_system_calls.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// Puts logging stand-ins into the file replacement's system-call table while it lives: each
// call is noted as "fsync <file>" or "rename <from> <to>" (file names without their folder)
// and then made for real, unless the test asked that fsync, or the swap of one target into
// place, fail. Restores the table it found.
class SystemCallLog {
public:
    SystemCallLog() : saved_(ReplacementSystemCalls()) {
        Log().clear();
        FailFsync() = 0;
        FailSwap().clear();
        FailRename().clear();
        ReplacementSystemCalls() = {&Fsync, &Renameat2, &Rename};
    }
    ~SystemCallLog() { ReplacementSystemCalls() = saved_; }
    SystemCallLog(const SystemCallLog&) = delete;
    SystemCallLog& operator=(const SystemCallLog&) = delete;

    const std::vector<std::string>& Calls() const { return Log(); }
    // From now on fsync fails with this error number (0: it works).
    void FailFsyncWith(int error) { FailFsync() = error; }
    // From now on renameat2 onto a file of this name (without folder; "*" for any) fails with
    // the error, once `after` such calls have passed (a move that works and its undoing that
    // fails). Several names may fail at once.
    void FailSwapOnto(const std::string& name, int error, int after = 0) {
        FailSwap().push_back({name, error, after});
    }
    // The same for a plain rename.
    void FailRenameOnto(const std::string& name, int error, int after = 0) {
        FailRename().push_back({name, error, after});
    }

private:
    static std::vector<std::string>& Log() {
        static std::vector<std::string> log;
        return log;
    }
    static int& FailFsync() {
        static int error = 0;
        return error;
    }
    struct Failure {
        std::string name;
        int error;
        int after; // calls onto the name that still work
    };
    static std::vector<Failure>& FailSwap() {
        static std::vector<Failure> failures;
        return failures;
    }
    static std::vector<Failure>& FailRename() {
        static std::vector<Failure> failures;
        return failures;
    }
    // Whether a call onto `to` fails by one of the rules, and with which error.
    static int FailureFor(std::vector<Failure>& rules, const char* to) {
        for (Failure& rule : rules)
            if (rule.name == "*" || Name(to) == rule.name) {
                if (rule.after == 0)
                    return rule.error;
                --rule.after;
            }
        return 0;
    }
    static std::string Name(const std::string& path) {
        return path.substr(path.find_last_of('/') + 1);
    }
    static int Fsync(int fd) {
        char path[4096];
        const ssize_t n =
            readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
        Log().push_back("fsync " + Name(std::string(path, n > 0 ? static_cast<size_t>(n) : 0)));
        if (FailFsync() != 0) {
            errno = FailFsync();
            return -1;
        }
        return ::fsync(fd);
    }
    static int Renameat2(int oldDir, const char* from, int newDir, const char* to,
                         unsigned int flags) {
        Log().push_back("rename " + Name(from) + " " + Name(to));
        if (const int error = FailureFor(FailSwap(), to)) {
            errno = error;
            return -1;
        }
        return ::renameat2(oldDir, from, newDir, to, flags);
    }
    static int Rename(const char* from, const char* to) {
        Log().push_back("rename " + Name(from) + " " + Name(to));
        if (const int error = FailureFor(FailRename(), to)) {
            errno = error;
            return -1;
        }
        return std::rename(from, to);
    }

    FileSystemCalls saved_;
};
