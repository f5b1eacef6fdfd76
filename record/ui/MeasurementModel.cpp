#include "record/ui/MeasurementModel.h"

#include "decode/ui/GlyphPainter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace meterdesk::record {

MeasurementModel::MeasurementModel(MeasurementTable& table, QObject* parent,
                                   std::function<void()> rowsWaiting)
    : QAbstractTableModel(parent), table_(table), rowsWaiting_(std::move(rowsWaiting)),
      shownRows_(table.RowCount()) {
    table_.SetObserver({{},
                        [this] {
                            if (rowsWaiting_) {
                                rowsWaiting_();
                            }
                        },
                        [this] {
                            beginResetModel();
                            shownRows_ = table_.RowCount();
                            endResetModel();
                        }});
}

bool MeasurementModel::ShowNewRows() {
    const std::size_t rows = table_.RowCount();
    if (table_.ViewsSuspended() || rows <= shownRows_) {
        return false;
    }
    beginInsertRows(QModelIndex(), static_cast<int>(shownRows_), static_cast<int>(rows - 1));
    shownRows_ = rows;
    endInsertRows();
    return true;
}

MeasurementModel::~MeasurementModel() {
    table_.SetObserver({});
}

int MeasurementModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_);
}

int MeasurementModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kFieldCount);
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    const auto field = static_cast<Field>(index.column());
    if (role == Qt::DisplayRole) {
        if (field == Field::No) {
            return table_.HasNo(row) ? QVariant(table_.No(row)) : QVariant();
        }
        return QString::fromLocal8Bit(table_.Text(row, field).c_str());
    }
    if (role == Qt::TextAlignmentRole) {
        switch (field) {
        case Field::No:
        case Field::Value:
        case Field::Unit:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return QVariant::fromValue(Qt::AlignHCenter | Qt::AlignVCenter);
        }
    }
    return {};
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal && section >= 0 && section < static_cast<int>(kFieldCount)) {
        return QString::fromLatin1(FieldName(static_cast<Field>(section)).data());
    }
    return QString(); // the row indicator column carries no numbers
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

namespace {

QStyle* StyleOf(const QStyleOptionViewItem& option) {
    return option.widget != nullptr ? option.widget->style() : QApplication::style();
}

QPalette::ColorGroup ColorGroupOf(const QStyleOptionViewItem& option) {
    if (!option.state.testFlag(QStyle::State_Enabled)) {
        return QPalette::Disabled;
    }
    return option.state.testFlag(QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
}

} // namespace

bool PlainCellDelegate::IsPlain(const QStyleOptionViewItem& option) {
    constexpr auto kMarked = QStyle::State_Selected | QStyle::State_HasFocus;
    return (option.state & kMarked) == 0 &&
           !option.features.testFlag(QStyleOptionViewItem::Alternate) &&
           option.backgroundBrush.style() == Qt::NoBrush;
}

void PlainCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    if (!IsPlain(option)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QString text = displayText(index.data(Qt::DisplayRole), option.locale);
    // The style's text box: the cell less its focus margin each side.
    const int margin =
        StyleOf(option)->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option.widget) + 1;
    const QRect box = option.rect.adjusted(margin, 0, -margin, 0);
    const QFontMetricsF metrics(option.font);
    const qreal width = metrics.horizontalAdvance(text);
    if (width > box.width()) {
        QStyledItemDelegate::paint(painter, option, index); // elided by the style
        return;
    }
    const QVariant aligned = index.data(Qt::TextAlignmentRole);
    const Qt::Alignment alignment = QStyle::visualAlignment(
        option.direction, aligned.isValid() ? Qt::Alignment(aligned.toInt())
                                            : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    // One line, placed as the style places its layout: the line's box
    // aligned in whole pixels, the text aligned within the line.
    const int lineHeight = static_cast<int>(std::ceil(metrics.ascent() + metrics.descent()));
    const QRect line = QStyle::alignedRect(option.direction, alignment & Qt::AlignVertical_Mask,
                                           QSize(box.width(), lineHeight), box);
    qreal x = line.left();
    if (alignment.testFlag(Qt::AlignRight)) {
        x += line.width() - width;
    } else if (alignment.testFlag(Qt::AlignHCenter)) {
        x += (line.width() - width) / 2;
    }
    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(ColorGroupOf(option), QPalette::Text));
    painter->drawText(QPointF(x, line.top() + metrics.ascent()), text);
    painter->restore();
}

void UnitDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    const QString unit = plain.text;
    plain.text.clear();
    if (!IsPlain(option)) { // a plain cell has no panel to draw under the symbols
        StyleOf(option)->drawControl(QStyle::CE_ItemViewItem, &plain, painter, option.widget);
    }
    decode::SymbolTextStyle text;
    text.height = 12;
    text.alignment = Qt::AlignRight | Qt::AlignVCenter;
    text.ink = option.state.testFlag(QStyle::State_Selected)
                   ? option.palette.color(QPalette::HighlightedText)
                   : option.palette.color(QPalette::Text);
    const QByteArray bytes = unit.toLocal8Bit();
    decode::PaintSymbolText(
        *painter, QRectF(option.rect).adjusted(2, 0, -3, 0),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), text);
}

} // namespace meterdesk::record
