#pragma once

#include "params/parameter_records.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

// The constants grid: Mark, Name, Result and Unit of every record of table1; only Result can
// be edited. An entered text goes to onResultEntered, which converts, stores and encodes it.
class ConstTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColMark = 0, ColName, ColResult, ColUnit, ColCount };

    explicit ConstTableModel(std::vector<ConstantRecord>& records, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Called with the row and the typed text; returns false when the text was rejected.
    std::function<bool(int row, const QString& text)> onResultEntered;

    // The records changed as a whole (after loading or deleting).
    void reload();
    void rowChanged(int row);

private:
    std::vector<ConstantRecord>& records_;
};

// A read-only grid of texts: the vector list and the address list.
class TextTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    TextTableModel(QStringList headers, std::vector<Qt::Alignment> alignments,
                   QObject* parent = nullptr);

    void setRows(std::vector<QStringList> rows);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList headers_;
    std::vector<Qt::Alignment> alignments_;
    std::vector<QStringList> rows_;
};
