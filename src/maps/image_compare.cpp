#include "maps/image_compare.h"

#include "image/codepage.h"
#include "image/equipment_bits.h"
#include "maps/cell_edit.h"

#include <cstring>
#include <memory>

namespace {

constexpr uint16_t AddrChecksum = 0x5FF0;

bool DifferAt(const uint8_t* a, const uint8_t* b, uint32_t first, uint32_t count) {
    return std::memcmp(a + first, b + first, count) != 0;
}

// Marks the bytes every table reads: the stored cells of the selected map set, both axes and
// TauBase. A difference in any of them always shows as a listed cell: a cell's own bytes make
// it differ, an axis byte moves its labels, and TauBase shifts every Tau value.
void MarkMapBytes(const FirmwareImage& image, std::vector<bool>& covered) {
    auto mark = [&](uint32_t first, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            covered[first + i] = true;
    };
    const uint16_t mainBase = image.UseO2Maps ? image.AddrMainMapO2 : image.AddrMainMap;
    const uint16_t corBase = image.UseO2Maps ? image.AddrCorMapO2 : image.AddrCorMap;
    mark(mainBase, 44 * FirmwareImage::Rows);
    mark(corBase, 78 * FirmwareImage::DrCols);
    mark(image.AddrPmax, 2 * FirmwareImage::Rows);
    mark(image.AddrDrmax, FirmwareImage::Rows);
    mark(image.AddrRcod, FirmwareImage::RcodRowCount * FirmwareImage::RcodColCount);
    mark(image.AddrNuz, FirmwareImage::Rows);
    mark(image.AddrP, FirmwareImage::LoadCols);
    mark(image.AddrTauBase, 2);
}

void CompareMaps(const FirmwareImage& a, const FirmwareImage& b, ImageDifferences& out) {
    // Each table is read in one pass per image and each axis label compared once: the
    // comparison runs after every keystroke while a reference is open.
    constexpr int MaxCells = FirmwareImage::Rows * FirmwareImage::LoadCols;
    double va[MaxCells];
    double vb[MaxCells];
    bool colMoved[FirmwareImage::LoadCols];
    for (const MapInfo& info : MapCatalogue()) {
        const int width = info.storage.width == CellWidthKind::Word ? 2 : 1;
        ReadMapValues(a, info.kind, va);
        ReadMapValues(b, info.kind, vb);
        for (int c = 0; c < info.cols; ++c)
            colMoved[c] = MapColLabel(a, info.kind, c) != MapColLabel(b, info.kind, c);
        MapDifference map{info.kind, {}};
        for (int r = 0; r < info.rows; ++r) {
            const bool rowMoved = MapRowLabel(a, info.kind, r) != MapRowLabel(b, info.kind, r);
            for (int c = 0; c < info.cols; ++c) {
                const int i = r * info.cols + c;
                const auto address = static_cast<uint32_t>(MapCellAddress(a, info.kind, r, c));
                if (rowMoved || colMoved[c] || !SameValue(va[i], vb[i]) ||
                    DifferAt(a.Bytes(), b.Bytes(), address, width))
                    map.cells.push_back({r, c, va[i], vb[i]});
            }
        }
        if (!map.cells.empty())
            out.maps.push_back(std::move(map));
    }
}

} // namespace

bool CellDifference::operator==(const CellDifference& o) const {
    return row == o.row && col == o.col && SameValue(a, o.a) && SameValue(b, o.b);
}

bool ImageDifferences::Empty() const {
    return Count() == 0;
}

std::size_t ImageDifferences::Count() const {
    std::size_t n = ident.size() + equipment.size() + (checksum ? 1 : 0) + bytes.size() +
                    constants.size() + vectors.size();
    for (const MapDifference& m : maps)
        n += m.cells.size();
    return n;
}

const MapDifference* ImageDifferences::Map(MapKind kind) const {
    for (const MapDifference& m : maps)
        if (m.kind == kind)
            return &m;
    return nullptr;
}

ImageDifferences CompareImages(const uint8_t* a, const uint8_t* b, bool useO2) {
    ImageDifferences out;
    // Each image is decoded in its own scratch copy, so neither caller's image is touched.
    const std::unique_ptr<FirmwareImage> scratchA = FirmwareImage::FromBytes(a, useO2);
    const std::unique_ptr<FirmwareImage> scratchB = FirmwareImage::FromBytes(b, useO2);
    FirmwareImage& da = *scratchA;
    FirmwareImage& db = *scratchB;

    std::vector<bool> covered(FirmwareImage::Size, false);
    CompareMaps(da, db, out);
    MarkMapBytes(da, covered);

    for (int i = 0; i < FirmwareImage::IdentCount; ++i) {
        const FirmwareImage::IdentField f = da.Ident(i);
        for (int k = 0; k < f.length; ++k)
            covered[f.address + k] = true;
        if (std::strcmp(da.IdentText(i), db.IdentText(i)) != 0 ||
            DifferAt(a, b, f.address, static_cast<uint32_t>(f.length)))
            out.ident.push_back({i, Cp1251ToUtf8(da.IdentText(i)), Cp1251ToUtf8(db.IdentText(i))});
    }

    const EquipmentBits ea = ReadEquipment(da);
    const EquipmentBits eb = ReadEquipment(db);
    for (int k = 0; k < EquipmentCount; ++k)
        if (ea[k] != eb[k])
            out.equipment.push_back({k, ea[k], eb[k]});
    for (int k = 0; k < EquipmentBytes; ++k)
        covered[da.AddrEquipment + k] = true;

    if (da.StoredChecksum() != db.StoredChecksum())
        out.checksum = ChecksumDifference{da.StoredChecksum(), db.StoredChecksum()};
    covered[AddrChecksum] = covered[AddrChecksum + 1] = true;

    constexpr uint32_t Block = 64;
    for (uint32_t addr = 0; addr < FirmwareImage::Size; ++addr) {
        // Equal blocks are passed over whole; most of two related images is equal.
        if (addr % Block == 0 && std::memcmp(a + addr, b + addr, Block) == 0) {
            addr += Block - 1;
            continue;
        }
        if (a[addr] == b[addr] || covered[addr])
            continue;
        if (!out.bytes.empty() && out.bytes.back().last + 1 == addr)
            out.bytes.back().last = addr;
        else
            out.bytes.push_back({addr, addr});
    }
    return out;
}

AddressRange CellBytes(const FirmwareImage& image, MapKind kind, int row, int col) {
    const auto first = static_cast<uint32_t>(MapCellAddress(image, kind, row, col));
    return {first, first + (GetMapInfo(kind).storage.width == CellWidthKind::Word ? 1u : 0u)};
}

AddressRange ChecksumBytes() {
    return {AddrChecksum, AddrChecksum + 1u};
}

void TakeBytes(FirmwareImage& image, const FirmwareImage& reference, const AddressRange& bytes) {
    FirmwareImage::WriteBatch batch(image);
    for (uint32_t addr = bytes.first; addr <= bytes.last && addr < FirmwareImage::Size; ++addr)
        image.WriteByte(static_cast<uint16_t>(addr),
                        reference.ReadByte(static_cast<uint16_t>(addr)));
}

void TakeEquipmentBit(FirmwareImage& image, const FirmwareImage& reference, int k) {
    const auto addr = static_cast<uint16_t>(image.AddrEquipment + k / 8);
    const auto mask = static_cast<uint8_t>(1u << (k % 8));
    image.WriteByte(addr, static_cast<uint8_t>((image.ReadByte(addr) & ~mask) |
                                               (reference.ReadByte(addr) & mask)));
}

void RemoveCoveredBytes(ImageDifferences& diff, const std::vector<bool>& covered) {
    std::vector<AddressRange> kept;
    for (const AddressRange& run : diff.bytes)
        for (uint32_t addr = run.first; addr <= run.last; ++addr) {
            if (covered[addr])
                continue;
            if (!kept.empty() && kept.back().last + 1 == addr)
                kept.back().last = addr;
            else
                kept.push_back({addr, addr});
        }
    diff.bytes = std::move(kept);
}

std::vector<std::string> DifferenceSummary(const ImageDifferences& diff) {
    std::vector<std::string> lines;
    auto count = [&](const std::string& what, std::size_t n) {
        if (n > 0)
            lines.push_back(what + std::to_string(n));
    };
    for (const MapDifference& m : diff.maps)
        count(std::string(GetMapInfo(m.kind).caption) + ": ячеек ", m.cells.size());
    count("Константы: ", diff.constants.size());
    count("Векторы: точек ", diff.vectors.size());
    count("Идентификация: полей ", diff.ident.size());
    count("Комплектация: битов ", diff.equipment.size());
    if (diff.checksum)
        lines.push_back("Контрольная сумма");
    std::size_t bytes = 0;
    for (const AddressRange& r : diff.bytes)
        bytes += r.last - r.first + 1;
    if (!diff.bytes.empty())
        lines.push_back("Прочие байты: участков " + std::to_string(diff.bytes.size()) + ", байт " +
                        std::to_string(bytes));
    return lines;
}
