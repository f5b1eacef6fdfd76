#pragma once

#include "record/MeasurementTable.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

namespace meterdesk::record {

// The measurement table as the grid shows it: six read-only columns titled
// by the field names, aligned as the log lays them out. Rows arrive through
// the table's observer, so the grid inserts them one by one and reads the
// whole table afresh after a suspended walk.
class MeasurementModel final : public QAbstractTableModel {
public:
    MeasurementModel(MeasurementTable& table, QObject* parent);
    ~MeasurementModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    MeasurementTable& table_;
};

// Paints the "Unit" column with the segment font's symbols (k* as kΩ).
class UnitDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace meterdesk::record
