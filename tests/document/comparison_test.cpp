// The comparison with a reference: differences kept current, what cells show, taking bytes from
// the reference, and the unit's last read.
#include "document/comparison.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::unique_ptr<FirmwareImage> Patterned(int seed) {
    std::vector<uint8_t> bytes(FirmwareImage::Size);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    return FirmwareImage::FromBytes(bytes.data());
}

uint8_t ByteAt(const FirmwareImage& image, uint32_t address) {
    return image.ReadByte(static_cast<uint16_t>(address));
}

// The address of data cell (0, 0) of the main map, and the same image with that cell one step
// higher as the reference.
struct OneCellApart {
    std::unique_ptr<FirmwareImage> image = Patterned(3);
    AddressRange cell = CellBytes(*image, MapKind::Uoz, 0, 0);
    std::unique_ptr<FirmwareImage> Reference() const {
        auto reference = Patterned(3);
        const auto at = static_cast<uint16_t>(cell.first);
        reference->WriteByte(at, static_cast<uint8_t>(reference->ReadByte(at) + 1));
        return reference;
    }
};

TEST(Comparison, DifferencesFollowTheImageAndTakingFromTheReferenceClearsThem) {
    OneCellApart setup;
    Comparison comparison(*setup.image);
    comparison.Open(setup.Reference(), QStringLiteral("ref"), nullptr);
    ASSERT_TRUE(comparison.IsOpen());
    const MapDifference* map = comparison.Differences().Map(MapKind::Uoz);
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->cells.size(), 1u);
    EXPECT_EQ(map->cells[0].row, 0);
    EXPECT_EQ(map->cells[0].col, 0);

    comparison.Take({{DiffLine::Cell, static_cast<int>(MapKind::Uoz), 0, 0}});
    EXPECT_EQ(ByteAt(*setup.image, setup.cell.first),
              ByteAt(*comparison.Reference(), setup.cell.first));
    comparison.Update();
    EXPECT_TRUE(comparison.Differences().Empty());
}

// Taking an identification text takes every byte of its field, the first and the last, and
// nothing beyond it.
TEST(Comparison, TakingATextTakesItsWholeFieldOnly) {
    auto image = Patterned(3);
    auto reference = Patterned(9);
    const FirmwareImage::IdentField field = image->Ident(0);
    const uint32_t last = field.address + field.length - 1;
    const uint8_t after = ByteAt(*image, last + 1);
    Comparison comparison(*image);
    comparison.Open(std::move(reference), QStringLiteral("ref"), nullptr);
    comparison.Take({{DiffLine::Ident, 0, 0, 0}});
    for (uint32_t a = field.address; a <= last; ++a)
        EXPECT_EQ(ByteAt(*image, a), ByteAt(*comparison.Reference(), a)) << a;
    EXPECT_EQ(ByteAt(*image, last + 1), after);
}

TEST(Comparison, CellsShowValueReferenceOrDifferenceOnlyWhileOpen) {
    OneCellApart setup;
    Comparison comparison(*setup.image);
    comparison.SetShow(Comparison::CellShow::Difference);
    EXPECT_EQ(comparison.Show(), Comparison::CellShow::Value); // nothing to compare with
    comparison.Open(setup.Reference(), QStringLiteral("ref"), nullptr);
    const QString value = comparison.CellText(MapKind::Uoz, 0, 0, ",");
    comparison.SetShow(Comparison::CellShow::Reference);
    const QString reference = comparison.CellText(MapKind::Uoz, 0, 0, ",");
    EXPECT_NE(reference, value);
    comparison.SetShow(Comparison::CellShow::Difference);
    EXPECT_EQ(comparison.CellText(MapKind::Uoz, 0, 0, ","), QStringLiteral("-0,5"));
    comparison.Close();
    EXPECT_EQ(comparison.Show(), Comparison::CellShow::Value);
    EXPECT_EQ(comparison.Reference(), nullptr);
    EXPECT_TRUE(comparison.Differences().Empty());
}

TEST(Comparison, ImageChangesAreAnnouncedOnceTheEventLoopIsBackAndOnlyWhileOpen) {
    OneCellApart setup;
    Comparison comparison(*setup.image);
    QSignalSpy changed(&comparison, &Comparison::ImageChanged);
    setup.image->WriteByte(0x100, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 0);

    comparison.Open(setup.Reference(), QStringLiteral("ref"), nullptr);
    setup.image->WriteByte(0x100, 2);
    setup.image->WriteByte(0x101, 2);
    EXPECT_EQ(changed.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);

    comparison.Close();
    setup.image->WriteByte(0x100, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(changed.count(), 1);
}

TEST(Comparison, OnlyAWholeUnitReadBecomesAReference) {
    auto image = Patterned(1);
    Comparison comparison(*image);
    EXPECT_EQ(comparison.UnitReadImage(), nullptr);
    std::vector<uint8_t> read(FirmwareImage::Size, 0x5A);
    comparison.RememberUnitRead(read);
    comparison.RememberUnitRead({}); // a run that read nothing keeps the last read
    ASSERT_TRUE(comparison.HasUnitRead());
    const std::unique_ptr<FirmwareImage> unit = comparison.UnitReadImage();
    EXPECT_EQ(ByteAt(*unit, FirmwareImage::Size - 1), 0x5A);
    comparison.RememberUnitRead(std::vector<uint8_t>(100, 1));
    EXPECT_FALSE(comparison.HasUnitRead());
}

} // namespace
