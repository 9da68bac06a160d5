#pragma once

#include "image/firmware_image.h"

#include <QString>
#include <memory>
#include <optional>

// How a file is read: Intel HEX or raw binary.
enum class ImageFormat { Hex, Bin };

// The content a name's extension promises: ".hex" HEX, ".bin" binary, in any case; nothing for
// any other name.
std::optional<ImageFormat> FormatByExtension(const QString& fileName);
// The format of a file chosen in the open dialog: a ".hex" or ".bin" name says what the file
// holds, whatever filter entry is chosen; any other name is read as the entry says (1 "Hex
// Files"), binary under "All Files" as on the command line.
ImageFormat FormatForOpen(const QString& fileName, int filterIndex);
// The format of a file named without a dialog (the command line, the recent files): HEX by a
// ".hex" extension, binary otherwise.
ImageFormat FormatForName(const QString& fileName);

// A file loaded into an image of its own. warning says how the file fails to give a whole
// image (empty when it does).
struct LoadedImage {
    std::unique_ptr<FirmwareImage> image;
    QString warning;
};
// Loads a file without touching any other image; load errors are thrown.
LoadedImage LoadImageFile(const QString& fileName, ImageFormat format);

// The warning for a whole image whose stored calibration checksum is not the one its data
// give, naming both (a save stores the computed one); empty when they agree or the image is
// not whole (its own warning says more).
QString ChecksumWarning(const FirmwareImage& image, const QString& fileName);

// The companion of an image file: the file of the same name with the other extension (".bin"
// for ".hex" and back, in the letter case a save of the file gives it), when it exists; empty
// otherwise.
QString CompanionFile(const QString& fileName);

// The warning for an image opened from one file of a pair whose other file holds another
// image: a save writes both, so the engineer must know which one was opened; names both and
// how many bytes differ. Empty when there is no companion, it holds the same bytes, or it
// cannot be read whole (then it is no image to compare).
QString PairWarning(const FirmwareImage& image, const QString& fileName);

// The path as the file system takes it.
std::string LocalPath(const QString& name);
