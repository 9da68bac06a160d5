#include "maps/byte_owner.h"

#include "image/equipment_bits.h"
#include "image/firmware_image.h"
#include "maps/cell_edit.h"
#include "maps/image_compare.h"

namespace {

bool FindCell(const FirmwareImage& image, uint32_t address, ByteOwner& owner) {
    for (const MapInfo& info : MapCatalogue()) {
        const uint32_t width = info.storage.width == CellWidthKind::Word ? 2 : 1;
        for (int r = 0; r < info.rows; ++r)
            for (int c = 0; c < info.cols; ++c) {
                const int32_t first = MapCellAddress(image, info.kind, r, c);
                if (first < 0 || address < static_cast<uint32_t>(first) ||
                    address >= static_cast<uint32_t>(first) + width)
                    continue;
                owner.kind = ByteOwner::Kind::MapCell;
                owner.map = info.kind;
                owner.rowLabel = MapRowLabel(image, info.kind, r);
                owner.hasColumn = info.colAxis != MapAxis::None;
                owner.colLabel = owner.hasColumn ? MapColLabel(image, info.kind, c) : 0;
                return true;
            }
    }
    return false;
}

} // namespace

ByteOwner OwnerOfByte(const FirmwareImage& image, uint32_t address) {
    ByteOwner owner;
    const AddressRange checksum = ChecksumBytes();
    if (address >= checksum.first && address <= checksum.last) {
        owner.kind = ByteOwner::Kind::Checksum;
        return owner;
    }
    if (address >= image.AddrEquipment &&
        address < image.AddrEquipment + static_cast<uint32_t>(EquipmentBytes)) {
        owner.kind = ByteOwner::Kind::Equipment;
        return owner;
    }
    // Ident() hands out the image's own text member, so it is asked on a copy.
    FirmwareImage texts;
    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        const FirmwareImage::IdentField f = texts.Ident(i);
        if (address >= f.address && address < static_cast<uint32_t>(f.address + f.length)) {
            owner.kind = ByteOwner::Kind::Ident;
            owner.field = i;
            return owner;
        }
    }
    FindCell(image, address, owner);
    return owner;
}
