#include "document/comparison.h"

#include "params/parameter_compare.h"

#include <QTimer>

Comparison::Comparison(FirmwareImage& image, QObject* parent) : QObject(parent), image_(image) {}

Comparison::~Comparison() {
    if (listening_)
        image_.RemoveListener(this);
}

void Comparison::Open(std::unique_ptr<FirmwareImage> reference, const QString& name,
                      std::unique_ptr<ParameterTables> tables) {
    reference_ = std::move(reference); // Update gives it the image's map set
    name_ = name;
    tables_ = std::move(tables);
    if (!listening_)
        image_.AddListener(this);
    listening_ = true;
    Update();
}

void Comparison::Close() {
    if (listening_)
        image_.RemoveListener(this);
    listening_ = false;
    reference_.reset();
    name_.clear();
    tables_.reset();
    differences_ = ImageDifferences();
    show_ = CellShow::Value;
}

void Comparison::Update() {
    stale_ = false;
    if (!reference_)
        return;
    if (reference_->UseO2Maps != image_.UseO2Maps) {
        reference_->UseO2Maps = image_.UseO2Maps;
        reference_->Decode();
    }
    differences_ = tables_ ? CompareImages(image_, *reference_, image_.UseO2Maps, *tables_)
                           : CompareImages(image_, *reference_, image_.UseO2Maps);
}

void Comparison::SetShow(CellShow show) {
    show_ = reference_ ? show : CellShow::Value;
}

QString Comparison::CellText(MapKind kind, int row, int col, const std::string& sep) const {
    if (!reference_ || show_ == CellShow::Value)
        return QString::fromStdString(FormatMapCell(image_, kind, row, col, sep));
    if (show_ == CellShow::Reference)
        return QString::fromStdString(FormatMapCell(*reference_, kind, row, col, sep));
    const double difference =
        MapValue(image_, kind, row, col) - MapValue(*reference_, kind, row, col);
    return QString::fromStdString(FormatMapNumber(difference, GetMapInfo(kind).decimals, sep));
}

void Comparison::Take(const std::vector<DiffLine>& lines) {
    if (!reference_)
        return;
    const FirmwareImage& ref = *reference_;
    for (const DiffLine& line : lines) {
        switch (line.kind) {
        case DiffLine::Cell:
            TakeBytes(image_, ref, CellBytes(image_, static_cast<MapKind>(line.a), line.b, line.c));
            break;
        case DiffLine::Ident: {
            const FirmwareImage::IdentField f = image_.Ident(line.a);
            TakeBytes(image_, ref, {f.address, static_cast<uint32_t>(f.address + f.length - 1)});
            break;
        }
        case DiffLine::Equipment:
            TakeEquipmentBit(image_, ref, line.a);
            break;
        case DiffLine::Checksum:
            TakeBytes(image_, ref, ChecksumBytes());
            break;
        case DiffLine::Parameter:
            if (tables_) {
                ParameterDifference p;
                p.record = line.a;
                p.point = line.b;
                TakeParameter(image_, ref, *tables_, p);
            }
            break;
        case DiffLine::Bytes:
            TakeBytes(image_, ref, {static_cast<uint32_t>(line.a), static_cast<uint32_t>(line.b)});
            break;
        }
    }
}

void Comparison::RememberUnitRead(const std::vector<uint8_t>& memory) {
    if (!memory.empty())
        unitRead_ = memory;
}

std::unique_ptr<FirmwareImage> Comparison::UnitReadImage() const {
    if (!HasUnitRead())
        return nullptr;
    return FirmwareImage::FromBytes(unitRead_.data(), image_.UseO2Maps);
}

void Comparison::Schedule() {
    if (pending_)
        return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        if (stale_)
            emit ImageChanged();
    });
}
