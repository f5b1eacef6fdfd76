#include "record/ui/TableReport.h"

#include "decode/ui/GlyphPainter.h"
#include "record/ReportLayout.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPalette>
#include <QPrinter>

#include <stdexcept>

namespace meterdesk::record {

namespace {

constexpr std::size_t kProgressPages = 32;

class BandPainter {
public:
    explicit BandPainter(QPrinter& printer)
        : painter_(&printer), scale_(printer.resolution() / 25.4),
          ink_(QApplication::palette().color(QPalette::WindowText)) {
        if (!painter_.isActive()) {
            throw std::runtime_error("The printer could not be started.");
        }
        arial_.setFamilies({QStringLiteral("Arial")});
        arial_.setPointSizeF(kTextPoints);
        symbol_.height = kTextPoints / 72.0 * printer.resolution();
        symbol_.ink = ink_;
        symbol_.lettersAsText = true;
    }

    void PaintBand(BandKind kind, std::size_t slot, const MeasurementTable& table,
                   std::size_t row) {
        const ReportBand& band = Band(kind);
        const double top = BandTop(kind, slot);
        painter_.fillRect(Box(0, top, kBandWidth, band.height), Qt::white);
        for (const ReportItem& item : band.items) {
            PaintItem(item, top, ItemText(item, table, row));
        }
    }

private:
    QRectF Box(double left, double top, double width, double height) const {
        return {left * scale_, top * scale_, width * scale_, height * scale_};
    }

    void PaintItem(const ReportItem& item, double bandTop, const std::string& text) {
        const QRectF fixed = Box(ItemLeft(item), bandTop + item.top, item.width, item.height);
        if (item.font == ReportFont::Symbol) {
            decode::SymbolTextStyle style = symbol_;
            style.alignment = (item.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop;
            const double width =
                item.width > 0 ? fixed.width() : decode::SymbolTextWidth(text, style.height) + 1;
            decode::PaintSymbolText(
                painter_, QRectF(fixed.topLeft(), QSizeF(width, fixed.height())), text, style);
            return;
        }
        const QString shown =
            QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
        painter_.setFont(arial_);
        painter_.setPen(ink_);
        const double width =
            item.width > 0 ? fixed.width()
                           : QFontMetricsF(arial_, painter_.device()).horizontalAdvance(shown) + 1;
        painter_.drawText(QRectF(fixed.topLeft(), QSizeF(width, fixed.height())),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, shown);
    }

    QPainter painter_;
    double scale_; // device pixels per millimetre
    QColor ink_;
    QFont arial_;
    decode::SymbolTextStyle symbol_;
};

} // namespace

void TableReport::Configure(QPrinter& printer) {
    printer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                    QMarginsF(kPaperMargin, kPaperMargin, kPaperMargin, kPaperMargin),
                    QPageLayout::Millimeter));
    printer.setFullPage(false);
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
}

void TableReport::Paint(QPrinter& printer, const MeasurementTable& table, std::size_t rows,
                        const WalkProgress& progress) {
    rows = std::min(rows, table.RowCount());
    BandPainter bands(printer);
    const std::size_t pages = PageCount(rows);
    for (std::size_t page = 0; page < pages; ++page) {
        if (page > 0 && !printer.newPage()) {
            throw std::runtime_error("The printer could not start a new page.");
        }
        const PageRows pageRows = RowsOfPage(page, rows);
        bands.PaintBand(BandKind::PageHeader, 0, table, pageRows.first);
        bands.PaintBand(BandKind::ColumnHeader, 0, table, pageRows.first);
        for (std::size_t slot = 0; slot < pageRows.count; ++slot) {
            bands.PaintBand(BandKind::Detail, slot, table, pageRows.first + slot);
        }
        bands.PaintBand(BandKind::PageFooter, 0, table, pageRows.first);
        if (progress && (page + 1) % kProgressPages == 0) {
            progress(page + 1, pages);
        }
    }
}

} // namespace meterdesk::record
