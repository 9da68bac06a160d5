#include "maps/cell_edit.h"

#include "image/firmware_image.h"

#include <algorithm>

namespace {

bool InImage(int32_t address, CellWidthKind width) {
    const int32_t last = address + (width == CellWidthKind::Word ? 1 : 0);
    return address >= 0 && last < static_cast<int32_t>(FirmwareImage::Size);
}

} // namespace

int32_t MapBlockAddress(const FirmwareImage& image, MapBlock block) {
    switch (block) {
    case MapBlock::MainMap:
        return image.UseO2Maps ? image.AddrMainMapO2 : image.AddrMainMap;
    case MapBlock::CorMap:
        return image.UseO2Maps ? image.AddrCorMapO2 : image.AddrCorMap;
    case MapBlock::Pmax:
        return image.AddrPmax;
    case MapBlock::Rcod:
        return image.AddrRcod;
    case MapBlock::Drmax:
        return image.AddrDrmax;
    }
    return -1;
}

int32_t MapCellAddress(const FirmwareImage& image, MapKind kind, int r, int c) {
    const MapInfo& info = GetMapInfo(kind);
    if (r < 0 || c < 0 || r >= info.rows || c >= info.cols)
        return -1;
    const MapPlacement& at = info.placement;
    return MapBlockAddress(image, at.block) + at.rowStride * r + at.colStride * c + at.offset;
}

int32_t ReadCellRaw(const FirmwareImage& image, CellWidthKind width, int32_t address,
                    int32_t fallback) {
    if (width == CellWidthKind::None || !InImage(address, width))
        return fallback;
    const auto a = static_cast<uint16_t>(address);
    return width == CellWidthKind::Word ? image.ReadWord(a) : image.ReadByte(a);
}

void WriteCellRaw(FirmwareImage& image, CellWidthKind width, int32_t address, int32_t raw) {
    if (width == CellWidthKind::None || !InImage(address, width))
        return;
    const auto a = static_cast<uint16_t>(address);
    if (width == CellWidthKind::Word)
        image.WriteWord(a, static_cast<uint16_t>(raw));
    else
        image.WriteByte(a, static_cast<uint8_t>(raw));
}

int32_t StepCellRaw(FirmwareImage& image, CellWidthKind width, int32_t address, int32_t raw,
                    int delta) {
    if (width != CellWidthKind::None && InImage(address, width)) {
        const int32_t top = width == CellWidthKind::Word ? 0xFFFF : 0xFF;
        raw = std::clamp(ReadCellRaw(image, width, address, raw) + delta, 0, top);
        WriteCellRaw(image, width, address, raw);
    }
    return raw;
}

bool CellDiffersFromFile(const FirmwareImage& image, MapKind kind, int row, int col) {
    const int32_t address = MapCellAddress(image, kind, row, col);
    const int bytes = GetMapInfo(kind).storage.width == CellWidthKind::Word ? 2 : 1;
    for (int32_t a = address; a >= 0 && a < address + bytes; ++a)
        if (a < static_cast<int32_t>(FirmwareImage::Size) &&
            image.Bytes()[a] != image.LoadedBytes()[a])
            return true;
    return false;
}
