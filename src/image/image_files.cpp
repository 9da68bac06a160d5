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

// Permissions for the new file: those of the file it replaces, or the usual ones for a new file.
mode_t SaveMode(const std::string& target) {
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
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
    std::string temp = target + ".XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error(error);
    temp.assign(pattern.data());

    bool ok = WriteAll(fd, static_cast<const char*>(data), size);
    ok = ok && fsync(fd) == 0;
    // mkstemp creates the file readable by its owner only.
    ok = ok && fchmod(fd, SaveMode(target)) == 0;
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
    return result;
}

void FirmwareImage::LoadBin(const std::string& fileName) {
    std::ifstream in = OpenForReading(fileName);
    std::vector<uint8_t> buffer(Size, 0);
    in.read(reinterpret_cast<char*>(buffer.data()), Size);
    if (in.bad())
        throw std::runtime_error("Can't read file.");
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
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
