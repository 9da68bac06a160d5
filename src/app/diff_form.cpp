#include "app/diff_form.h"

#include "image/codepage.h"
#include "maps/cell_edit.h"
#include "params/equipment.h"
#include "params/parameter_format.h"
#include "ui/decimal_separator.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {

constexpr int LineRole = Qt::UserRole + 1;

QString Hex4(uint32_t value) {
    return QString::asprintf("0x%04X", value);
}

// A line's identity, to keep it selected when the list is filled again.
QString Key(const DiffLine& line) {
    return QStringLiteral("%1:%2:%3:%4").arg(line.kind).arg(line.a).arg(line.b).arg(line.c);
}

DiffLine LineOf(const QTreeWidgetItem* item) {
    const QList<QVariant> v = item->data(0, LineRole).toList();
    return {static_cast<DiffLine::Kind>(v[0].toInt()), v[1].toInt(), v[2].toInt(), v[3].toInt()};
}

// A difference with its sign: "+2,0", "-1,5"; a zero that rounds so shows as "0,0".
QString Signed(const QString& number) {
    const bool zero =
        std::none_of(number.begin(), number.end(), [](QChar c) { return c >= '1' && c <= '9'; });
    return zero || number.startsWith(QLatin1Char('-')) ? number : QLatin1Char('+') + number;
}

QString Axis(long a, long b) {
    return a == b ? QString::number(a) : QStringLiteral("%1 (эталон %2)").arg(a).arg(b);
}

} // namespace

TDiffForm::TDiffForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DiffForm"));
    setWindowTitle(QStringLiteral("Различия"));
    resize(640, 420);
    Tree = new QTreeWidget(this);
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setHeaderLabels({QStringLiteral("Где"), QStringLiteral("Адрес"), QStringLiteral("Образ"),
                           QStringLiteral("Эталон"), QStringLiteral("Δ")});
    Tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Tree->setRootIsDecorated(true);
    Tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    TakeButton = new QPushButton(QStringLiteral("Взять из эталона"), this);
    TakeButton->setObjectName(QStringLiteral("TakeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(TakeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tree);
    layout->addLayout(buttons);

    connect(Tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (!item->data(0, LineRole).isValid())
            return;
        const DiffLine line = LineOf(item);
        if (line.kind == DiffLine::Cell)
            emit ShowCell(line.a, line.b, line.c);
    });
    connect(TakeButton, &QPushButton::clicked, this, [this] {
        const std::vector<DiffLine> lines = SelectedLines();
        if (!lines.empty())
            emit Take(lines);
    });
}

QTreeWidgetItem* TDiffForm::Group(const QString& title) {
    auto* group = new QTreeWidgetItem(Tree, {title});
    group->setFirstColumnSpanned(true);
    group->setExpanded(true);
    return group;
}

void TDiffForm::Fill(const ImageDifferences& diff, const FirmwareImage& image,
                     const FirmwareImage& reference) {
    QSet<QString> selected;
    for (const DiffLine& line : SelectedLines())
        selected.insert(Key(line));
    Tree->setUpdatesEnabled(false);
    Tree->clear();
    std::vector<QTreeWidgetItem*> keep;
    auto add = [&](QTreeWidgetItem* group, const DiffLine& line, const QString& where,
                   const QString& a, const QString& b, const QString& address = QString(),
                   const QString& delta = QString()) {
        auto* item = new QTreeWidgetItem(group, {where, address, a, b, delta});
        for (int column : {1, 2, 3, 4})
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, LineRole, QList<QVariant>{line.kind, line.a, line.b, line.c});
        if (selected.contains(Key(line)))
            keep.push_back(item);
    };
    const std::string sep(1, LocaleDecimalSeparator());
    if (!diff.maps.empty()) {
        QTreeWidgetItem* maps = Group(QStringLiteral("Карты"));
        for (const MapDifference& m : diff.maps) {
            const MapInfo& info = GetMapInfo(m.kind);
            QTreeWidgetItem* group =
                new QTreeWidgetItem(maps, {QStringLiteral("%1 (%2)")
                                               .arg(QString::fromUtf8(info.caption))
                                               .arg(m.cells.size())});
            group->setFirstColumnSpanned(true);
            for (const CellDifference& cell : m.cells) {
                QString where = Axis(MapRowLabel(image, m.kind, cell.row),
                                     MapRowLabel(reference, m.kind, cell.row));
                if (info.colAxis != MapAxis::None)
                    where += QStringLiteral(" / ") + Axis(MapColLabel(image, m.kind, cell.col),
                                                          MapColLabel(reference, m.kind, cell.col));
                add(group, {DiffLine::Cell, static_cast<int>(m.kind), cell.row, cell.col}, where,
                    QString::fromStdString(FormatMapNumber(cell.a, info.decimals, sep)),
                    QString::fromStdString(FormatMapNumber(cell.b, info.decimals, sep)),
                    Hex4(static_cast<uint32_t>(MapCellAddress(image, m.kind, cell.row, cell.col))),
                    Signed(QString::fromStdString(
                        FormatMapNumber(cell.a - cell.b, info.decimals, sep))));
            }
        }
    }
    if (!diff.constants.empty() || !diff.vectors.empty()) {
        QTreeWidgetItem* group = Group(QStringLiteral("Константы и вектора"));
        const char point = sep.size() == 1 ? sep[0] : ',';
        auto value = [&](double v, int decimals) {
            return QString::fromStdString(FormatFixed(v, decimals, point));
        };
        for (const ParameterDifference& c : diff.constants)
            add(group, {DiffLine::Parameter, c.record, -1},
                QString::fromStdString(c.mark + " " + c.name), value(c.a, c.decimals),
                value(c.b, c.decimals), QString(), Signed(value(c.a - c.b, c.decimals)));
        for (const ParameterDifference& v : diff.vectors) {
            QString where = QString::fromStdString(v.mark + " " + v.name) +
                            QStringLiteral(", точка %1 (%2)")
                                .arg(v.point + 1)
                                .arg(QString::fromStdString(FormatGeneral(v.argA, point)));
            if (!SameValue(v.argA, v.argB))
                where += QStringLiteral(" / эталон %1")
                             .arg(QString::fromStdString(FormatGeneral(v.argB, point)));
            add(group, {DiffLine::Parameter, v.record, v.point}, where, value(v.a, v.decimals),
                value(v.b, v.decimals), QString(), Signed(value(v.a - v.b, v.decimals)));
        }
    }
    if (!diff.ident.empty()) {
        QTreeWidgetItem* group = Group(QStringLiteral("Идентификация"));
        for (const IdentDifference& f : diff.ident)
            add(group, {DiffLine::Ident, f.field},
                QString::fromLatin1(FirmwareImage::IdentName(f.field)), QString::fromStdString(f.a),
                QString::fromStdString(f.b));
    }
    if (!diff.equipment.empty()) {
        QTreeWidgetItem* group = Group(QStringLiteral("Комплектация"));
        auto yesNo = [](bool on) { return on ? QStringLiteral("да") : QStringLiteral("нет"); };
        for (const EquipmentDifference& e : diff.equipment)
            add(group, {DiffLine::Equipment, e.bit}, QString::fromUtf8(EquipmentCaption(e.bit)),
                yesNo(e.a), yesNo(e.b));
    }
    if (diff.checksum)
        add(Group(QStringLiteral("Контрольная сумма")), {DiffLine::Checksum},
            QStringLiteral("0x5FF0"), Hex4(diff.checksum->a), Hex4(diff.checksum->b),
            QStringLiteral("0x5FF0"));
    if (!diff.bytes.empty()) {
        QTreeWidgetItem* group = Group(QStringLiteral("Прочие байты"));
        for (const AddressRange& r : diff.bytes) {
            QString where = Hex4(r.first);
            QString a;
            QString b;
            for (uint32_t addr = r.first; addr <= r.last && addr < r.first + 8; ++addr) {
                a += QStringLiteral("%1 ").arg(image.ReadByte(static_cast<uint16_t>(addr)), 2, 16,
                                               QLatin1Char('0'));
                b += QStringLiteral("%1 ").arg(reference.ReadByte(static_cast<uint16_t>(addr)), 2,
                                               16, QLatin1Char('0'));
            }
            if (r.last > r.first)
                where += QStringLiteral("–") + Hex4(r.last);
            if (r.last >= r.first + 8) {
                a += QStringLiteral("…");
                b += QStringLiteral("…");
            }
            add(group, {DiffLine::Bytes, static_cast<int>(r.first), static_cast<int>(r.last)},
                where, a.trimmed().toUpper(), b.trimmed().toUpper());
        }
    }
    for (QTreeWidgetItem* item : keep)
        item->setSelected(true);
    Tree->expandAll();
    Tree->setUpdatesEnabled(true);
}

std::vector<DiffLine> TDiffForm::SelectedLines() const {
    std::vector<DiffLine> lines;
    // Walks the whole list in order; a line counts when it or a group above it is selected.
    std::function<void(QTreeWidgetItem*, bool)> walk = [&](QTreeWidgetItem* item, bool inSelected) {
        const bool on = inSelected || item->isSelected();
        if (item->data(0, LineRole).isValid()) {
            if (on)
                lines.push_back(LineOf(item));
            return;
        }
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), on);
    };
    for (int i = 0; i < Tree->topLevelItemCount(); ++i)
        walk(Tree->topLevelItem(i), false);
    return lines;
}
