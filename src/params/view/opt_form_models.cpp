#include "params/view/opt_form_models.h"

#include "params/parameter_format.h"
#include "ui/decimal_separator.h"

ConstTableModel::ConstTableModel(std::vector<ConstantRecord>& records, QObject* parent)
    : QAbstractTableModel(parent), records_(records) {}

int ConstTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int ConstTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColCount;
}

QVariant ConstTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ConstantRecord& r = records_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole) {
        if (index.column() == ColMark || index.column() == ColUnit)
            return int(Qt::AlignCenter);
        if (index.column() == ColResult)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case ColMark:
        return QString::fromStdString(r.Mark);
    case ColName:
        return QString::fromStdString(r.Name);
    case ColResult:
        return r.Result ? QString::fromStdString(FormatGeneral(*r.Result, LocaleDecimalSeparator()))
                        : QString();
    case ColUnit:
        return QString::fromStdString(r.Unit);
    default:
        return {};
    }
}

QVariant ConstTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return {};
    static const char* const titles[ColCount] = {"Обозн.", "Наименование", "Значение", "Ед.изм."};
    return section >= 0 && section < ColCount ? QString::fromUtf8(titles[section]) : QVariant();
}

Qt::ItemFlags ConstTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == ColResult)
        f |= Qt::ItemIsEditable;
    return f;
}

bool ConstTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != ColResult || !onResultEntered)
        return false;
    if (!onResultEntered(index.row(), value.toString()))
        return false;
    emit dataChanged(index, index);
    return true;
}

void ConstTableModel::reload() {
    beginResetModel();
    endResetModel();
}

void ConstTableModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColCount - 1));
}

TextTableModel::TextTableModel(QStringList headers, std::vector<Qt::Alignment> alignments,
                               QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)),
      alignments_(std::move(alignments)) {}

void TextTableModel::setRows(std::vector<QStringList> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int TextTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TextTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant TextTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(alignments_[static_cast<std::size_t>(index.column())] | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const QStringList& row = rows_[static_cast<std::size_t>(index.row())];
    return index.column() < row.size() ? row[index.column()] : QString();
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section >= headers_.size())
        return {};
    return headers_[section];
}
