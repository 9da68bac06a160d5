#pragma once

#include "image/firmware_image.h"
#include "maps/image_compare.h"
#include "maps/map_catalogue.h"
#include "params/parameter_compare.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One line of the differences window, and what "Взять из эталона" takes for it.
struct DiffLine {
    enum Kind { Cell, Ident, Equipment, Checksum, Bytes, Parameter };
    Kind kind;
    int a = 0; // Cell: map kind; Ident: field; Equipment: item; Bytes: first address;
               // Parameter: record of its table
    int b = 0; // Cell: row; Bytes: last address; Parameter: vector point, -1 for a constant
    int c = 0; // Cell: column
};

// The comparison of the image with a reference image: the reference and its name, the
// parameter records compared with it, the differences kept current, what the grid's cells show,
// and the unit's memory as last read (a reference the user may choose). The core compares
// (maps/image_compare.h, params/parameter_compare.h); this class keeps the state.
class Comparison : public QObject, private ImageListener {
    Q_OBJECT
public:
    enum class CellShow { Value, Reference, Difference };

    explicit Comparison(FirmwareImage& image, QObject* parent = nullptr);
    ~Comparison() override;

    bool IsOpen() const { return reference_ != nullptr; }
    // Makes an image the reference (decoded again here when its map set differs from the
    // image's) and compares. tables: the parameter database's records, compared too; may be
    // null.
    void Open(std::unique_ptr<FirmwareImage> reference, const QString& name,
              std::unique_ptr<ParameterTables> tables);
    // Ends the comparison; the cells show values again.
    void Close();
    // Compares again. The reference never changes; only a switch of the image's map set
    // decodes it again.
    void Update();

    // Null while closed.
    const FirmwareImage* Reference() const { return reference_.get(); }
    const QString& ReferenceName() const { return name_; }
    const ImageDifferences& Differences() const { return differences_; }
    const ParameterTables* Tables() const { return tables_.get(); }

    CellShow Show() const { return show_; }
    // Value whatever is asked while closed.
    void SetShow(CellShow show);
    // The text of data cell (row, col) of a map as the cell switch selects it.
    QString CellText(MapKind kind, int row, int col, const std::string& decimalSeparator) const;

    // Copies the stored bytes behind the lines from the reference into the image. The caller
    // makes the writes one step of the history.
    void Take(const std::vector<DiffLine>& lines);

    // The unit's memory as last read during this run; an empty read is not remembered.
    void RememberUnitRead(const std::vector<uint8_t>& memory);
    bool HasUnitRead() const { return unitRead_.size() == FirmwareImage::Size; }
    const std::vector<uint8_t>& LastUnitRead() const { return unitRead_; }
    // The last read as an image, ready to open as the reference; null without a whole read.
    std::unique_ptr<FirmwareImage> UnitReadImage() const;

signals:
    // The image's bytes changed while the comparison was open. Sent once the event loop is
    // back, however many writes an edit made, so the owner compares again once per edit.
    void ImageChanged();

private:
    void DataChanged(const ChangeSet&) override {
        stale_ = true;
        Schedule();
    }
    void DataReplaced() override {
        stale_ = true;
        Schedule();
    }
    void Schedule();

    FirmwareImage& image_;
    std::unique_ptr<FirmwareImage> reference_;
    QString name_;
    std::unique_ptr<ParameterTables> tables_;
    ImageDifferences differences_;
    CellShow show_ = CellShow::Value;
    std::vector<uint8_t> unitRead_;
    bool listening_ = false;
    bool pending_ = false;
    // The image changed since the last Update: the scheduled ImageChanged is still needed. An
    // edit the window refreshes at once (a keystroke) has compared again by the time it fires.
    bool stale_ = false;
};
