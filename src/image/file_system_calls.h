#pragma once

// The system calls of a file replacement whose order and failures decide whether the previous
// file survives: flushing the new file to the disk and moving it over the old one. They are
// called through this table so that a test can watch their order or make one fail; the table
// holds the real calls unless a test has swapped them.
struct FileSystemCalls {
    int (*fsync)(int fd);
    int (*renameat2)(int oldDirFd, const char* oldPath, int newDirFd, const char* newPath,
                     unsigned int flags);
    int (*rename)(const char* oldPath, const char* newPath);
};

// The table in use; a test that swaps entries puts the previous table back when it ends.
FileSystemCalls& ReplacementSystemCalls();
