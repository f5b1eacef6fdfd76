#pragma once

#include "record/MeasurementTable.h"

#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <functional>

namespace meterdesk::record {

// The measurement table as the grid shows it: six read-only columns titled
// by the field names, aligned as the log lays them out. At full line rate
// rows arrive faster than anyone can read them, and inserting each one
// relays out and repaints the grid, so appended rows wait: the table's
// observer calls `rowsWaiting`, and the owner shows them in one insertion
// with ShowNewRows at its next view refresh. Emptying the table and the end
// of a suspended walk make the grid read the whole table afresh at once.
class MeasurementModel final : public QAbstractTableModel {
public:
    MeasurementModel(MeasurementTable& table, QObject* parent,
                     std::function<void()> rowsWaiting = {});
    ~MeasurementModel() override;

    // Inserts the rows appended since the last call; false when there were
    // none or the table's views are suspended.
    bool ShowNewRows();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    MeasurementTable& table_;
    std::function<void()> rowsWaiting_;
    std::size_t shownRows_;
};

// Paints a plain cell (neither selected nor focused, its text fitting) with
// one text run where the style lays out a text document, as the style would
// place it; any other cell the style paints. At full line rate the grid
// repaints every cell five times a second, and the style's layout was most
// of that cost.
class PlainCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    // True for a cell with nothing but its text to draw.
    static bool IsPlain(const QStyleOptionViewItem& option);
};

// Paints the "Unit" column with the segment font's symbols (k* as kΩ).
class UnitDelegate final : public PlainCellDelegate {
public:
    using PlainCellDelegate::PlainCellDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace meterdesk::record
