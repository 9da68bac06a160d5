#include "image/firmware_image.h"
#include "image/hex_format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <istream>
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

// Opens a file for reading. Only a regular file is opened: opening a FIFO blocks until some
// other program writes to it, and a pipe or device gives no fixed image to load. The name is
// looked at before the open, so the open itself never blocks, and the open file is checked
// again in case the name was replaced in between. Failures raise "Can't open file.".
int OpenRegularFile(const std::string& fileName) {
    const std::runtime_error notRegular("Can't open file.\n" + fileName + ": not a regular file");
    struct stat st;
    if (stat(fileName.c_str(), &st) != 0)
        throw std::runtime_error("Can't open file.");
    if (!S_ISREG(st.st_mode))
        throw notRegular;
    const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Can't open file.");
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw notRegular;
    }
    return fd;
}

// The stream the HEX reader reads an open file through. A read error ends the stream and is
// remembered, so a file that could not be read to its end is never taken for a short one.
class FileReadBuffer : public std::streambuf {
public:
    explicit FileReadBuffer(const std::string& fileName) : fd_(OpenRegularFile(fileName)) {}
    ~FileReadBuffer() override { close(fd_); }
    FileReadBuffer(const FileReadBuffer&) = delete;
    FileReadBuffer& operator=(const FileReadBuffer&) = delete;

    bool Failed() const { return failed_; }

    // Reads up to `size` bytes, fewer only at the end of the file; throws on a read error.
    size_t ReadUpTo(uint8_t* out, size_t size) {
        size_t got = 0;
        while (got < size) {
            const size_t n = Fill(out + got, size - got);
            if (n == 0)
                break;
            got += n;
        }
        if (failed_)
            throw std::runtime_error("Can't read file.");
        return got;
    }

protected:
    int_type underflow() override {
        const size_t n = Fill(reinterpret_cast<uint8_t*>(buffer_), sizeof buffer_);
        if (n == 0)
            return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(buffer_[0]);
    }

private:
    size_t Fill(uint8_t* out, size_t size) {
        for (;;) {
            const ssize_t n = read(fd_, out, size);
            if (n >= 0)
                return static_cast<size_t>(n);
            if (errno != EINTR) {
                failed_ = true;
                return 0;
            }
        }
    }

    int fd_;
    bool failed_ = false;
    char buffer_[1 << 14];
};

} // namespace

// The loaders open and read the whole file before they touch the image: a file that cannot be
// opened or read leaves the image as it was, so a failed open never loses what the user had.
HexLoadResult FirmwareImage::LoadHex(const std::string& fileName) {
    FileReadBuffer file(fileName);
    std::istream in(&file);
    std::vector<uint8_t> buffer(Size, 0);
    const HexLoadResult result = ReadHexRecords(in, buffer.data());
    if (file.Failed())
        throw std::runtime_error("Can't read file.");
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    Loaded = true;
    Complete = result.complete;
    return result;
}

void FirmwareImage::LoadBin(const std::string& fileName) {
    FileReadBuffer file(fileName);
    // One byte more than the image tells a longer file from a whole one.
    std::vector<uint8_t> buffer(Size + 1, 0);
    const size_t got = file.ReadUpTo(buffer.data(), buffer.size());
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    Loaded = true;
    Complete = got == Size;
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
