#include "image/file_replace.h"
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
    const bool whole =
        static_cast<std::size_t>(in.gcount()) == Size && in.peek() == std::char_traits<char>::eof();
    Clear();
    std::memcpy(Data.get(), buffer.data(), Size);
    std::memcpy(LoadedCopy.get(), Data.get(), Size);
    Loaded = true;
    Complete = whole;
}

namespace {

// The image's saves report every failure the same way: the short text first, then the file and
// the system's reason.
template <typename Write> void ReportingSaveErrors(const Write& write) {
    try {
        write();
    } catch (const FileWriteError& e) {
        throw std::runtime_error(std::string("Can't open file.\n") + e.what());
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
