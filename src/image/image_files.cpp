#include "image/file_replace.h"
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

// Opens a file for reading. Only a regular file is opened: opening a FIFO blocks until some
// other program writes to it, and a pipe or device gives no fixed image to load. The name is
// looked at before the open, so the open itself never blocks, and the open file is checked
// again in case the name was replaced in between. Failures raise "Can't open file." with the
// file and the system's reason on a second line.
int OpenRegularFile(const std::string& fileName) {
    const auto cannotOpen = [&] {
        return std::runtime_error("Can't open file.\n" + fileName + ": " + std::strerror(errno));
    };
    const std::runtime_error notRegular("Can't open file.\n" + fileName + ": not a regular file");
    struct stat st;
    if (stat(fileName.c_str(), &st) != 0)
        throw cannotOpen();
    if (!S_ISREG(st.st_mode))
        throw notRegular;
    const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw cannotOpen();
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
    ResetData(buffer.data(), buffer.data(), true, result.complete);
    return result;
}

void FirmwareImage::LoadBin(const std::string& fileName) {
    FileReadBuffer file(fileName);
    // One byte more than the image tells a longer file from a whole one.
    std::vector<uint8_t> buffer(Size + 1, 0);
    const size_t got = file.ReadUpTo(buffer.data(), buffer.size());
    ResetData(buffer.data(), buffer.data(), true, got == Size);
}

namespace {

// The image's saves report every failure the same way: the short text first, then the file and
// the system's reason. A save that fails wrote nothing: it says so, not that a file would not
// open.
template <typename Write> void ReportingSaveErrors(const Write& write) {
    try {
        write();
    } catch (const FileWriteError& e) {
        throw std::runtime_error(std::string("Can't write file.\n") + e.what());
    }
}

void WriteImageFiles(const std::vector<FileContents>& files) {
    ReportingSaveErrors([&] { WriteFilesAtomically(files); });
}

} // namespace

void FirmwareImage::SaveBin(const std::string& fileName) const {
    WriteImageFiles({{fileName, Data.get(), Size}});
}

void FirmwareImage::SaveHex(const std::string& fileName) const {
    if (fileName.empty())
        return;
    const std::string text = WriteHexText(Data.get());
    WriteImageFiles({{fileName, text.data(), text.size()}});
}

void FirmwareImage::CheckSaveTarget(const std::string& fileName) {
    ReportingSaveErrors([&] { FileReplacement probe(fileName); });
}

void FirmwareImage::SaveBinAndHex(const std::string& binName, const std::string& hexName) const {
    const std::string text = WriteHexText(Data.get());
    WriteImageFiles({{binName, Data.get(), Size}, {hexName, text.data(), text.size()}});
}
