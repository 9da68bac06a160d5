#include "image/firmware_image.h"
#include "image/hex_format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The file a save replaces: a symbolic link is followed, so the file it points to is replaced
// and the link itself stays.
std::string SaveTarget(const std::string& fileName) {
    std::error_code ec;
    if (std::filesystem::is_symlink(fileName, ec)) {
        const auto target = std::filesystem::weakly_canonical(fileName, ec);
        if (!ec)
            return target.string();
    }
    return fileName;
}

// Creates a new, empty temporary file next to the target. It is created with the usual mode
// 0666, which the process umask narrows as for any new file.
int CreateTempFile(const std::string& target, std::string& temp) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool WriteAll(int fd, const char* p, size_t left) {
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo a save that already happened.
void SyncFolder(const std::string& target) {
    std::string folder = std::filesystem::path(target).parent_path().string();
    if (folder.empty())
        folder = ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// Writes a file through a temporary file in the same folder, flushed to the disk and renamed
// over the target only when everything was written, so a failed or interrupted save never
// destroys the previous file. Any failure raises `error`.
void WriteFileAtomically(const std::string& fileName, const void* data, size_t size,
                         const std::string& error) {
    const std::string target = SaveTarget(fileName);
    // A file the user may not write (for example one marked read-only to protect it) is not
    // replaced behind their back, although the folder would allow the rename.
    struct stat old;
    const bool replacing = stat(target.c_str(), &old) == 0;
    if (replacing && access(target.c_str(), W_OK) != 0)
        throw std::runtime_error(error);

    std::string temp;
    const int fd = CreateTempFile(target, temp);
    if (fd < 0)
        throw std::runtime_error(error);
    bool ok = WriteAll(fd, static_cast<const char*>(data), size);
    ok = ok && fsync(fd) == 0;
    // The new file keeps the permissions of the one it replaces.
    if (ok && replacing && S_ISREG(old.st_mode))
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) {
        SyncFolder(target);
        return;
    }
    std::remove(temp.c_str());
    throw std::runtime_error(error);
}

// Opens a file for reading; a folder or a file that cannot be opened raises "Can't open file.".
std::ifstream OpenForReading(const std::string& fileName) {
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(fileName, ec))
        in.open(fileName, std::ios::binary);
    if (!in.is_open())
        throw std::runtime_error("Can't open file.");
    return in;
}

} // namespace

// The loaders open and read the whole file before they touch the image: a file that cannot be
// opened or read leaves the image as it was, so a failed open never loses what the user had.
HexLoadResult FirmwareImage::LoadHex(const std::string& fileName) {
    std::ifstream in = OpenForReading(fileName);
    std::vector<uint8_t> buffer(Size, 0);
    const HexLoadResult result = ReadHexRecords(in, buffer.data());
    if (in.bad())
        throw std::runtime_error("Can't read file.");
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    Loaded = true;
    Complete = result.complete;
    return result;
}

void FirmwareImage::LoadBin(const std::string& fileName) {
    std::ifstream in = OpenForReading(fileName);
    std::vector<uint8_t> buffer(Size, 0);
    in.read(reinterpret_cast<char*>(buffer.data()), Size);
    if (in.bad())
        throw std::runtime_error("Can't read file.");
    // Whole only when exactly 32 KB arrived and nothing followed.
    const bool whole = static_cast<std::size_t>(in.gcount()) == Size &&
                       in.peek() == std::char_traits<char>::eof();
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    Loaded = true;
    Complete = whole;
}

void FirmwareImage::SaveBin(const std::string& fileName) const {
    WriteFileAtomically(fileName, Data.get(), Size, "Can't open file.");
}

void FirmwareImage::SaveHex(const std::string& fileName) const {
    if (fileName.empty())
        return;
    const std::string text = WriteHexText(Data.get());
    WriteFileAtomically(fileName, text.data(), text.size(), "Cannot create file " + fileName);
}
