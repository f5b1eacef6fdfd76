#include "record/ReportLayout.h"

#include <cmath>

namespace meterdesk::record {

namespace {

constexpr double kTitleHeight = 5.03;
constexpr double kLabelHeight = 4.50;
constexpr double kSymbolHeight = 4.23;

constexpr std::array<ReportItem, 1> kPageHeader{{
    {"QRLabel1", "Test Data", std::nullopt, 0, 2.12, 35.45, kTitleHeight, ReportFont::Symbol, true},
}};

constexpr std::array<ReportItem, 6> kColumnHeader{{
    {"QRLabel2", "No", std::nullopt, 8.47, 4.23, 0, kLabelHeight, ReportFont::Arial},
    {"QRLabel3", "Time", std::nullopt, 33.87, 4.23, 0, kLabelHeight, ReportFont::Arial},
    {"QRLabel4", "DC/AC", std::nullopt, 64.29, 4.23, 0, kLabelHeight, ReportFont::Arial},
    {"QRLabel5", "Value", std::nullopt, 99.48, 4.23, 0, kLabelHeight, ReportFont::Arial},
    {"QRLabel6", "Unit", std::nullopt, 132.29, 4.23, 0, kLabelHeight, ReportFont::Arial},
    {"QRLabel7", "AUTO", std::nullopt, 162.98, 4.23, 0, kLabelHeight, ReportFont::Arial},
}};

// The value and unit stand a little off their headings, as laid out.
constexpr std::array<ReportItem, 6> kDetail{{
    {"QRDBText1", "", Field::No, 8.47, 2.12, 0, kLabelHeight, ReportFont::Arial},
    {"QRDBText2", "", Field::Time, 33.87, 2.12, 0, kLabelHeight, ReportFont::Arial},
    {"QRDBText3", "", Field::Func, 65.62, 2.12, 0, kLabelHeight, ReportFont::Arial},
    {"QRDBText4", "", Field::Value, 99.48, 2.12, 0, kSymbolHeight, ReportFont::Symbol},
    {"QRDBText5", "", Field::Unit, 131.23, 2.12, 0, kSymbolHeight, ReportFont::Symbol},
    {"QRDBText6", "", Field::Range, 162.98, 2.12, 0, kLabelHeight, ReportFont::Arial},
}};

constexpr std::array<ReportItem, 1> kPageFooter{{
    {"QRLabel8", "The Data Print Foot", std::nullopt, 8.47, 4.23, 0, kSymbolHeight,
     ReportFont::Symbol},
}};

constexpr std::array<ReportBand, 4> kBands{{
    {BandKind::PageHeader, "PageHeaderBand1", 13.23, kPageHeader},
    {BandKind::ColumnHeader, "ColumnHeaderBand1", 13.23, kColumnHeader},
    {BandKind::Detail, "DetailBand1", 6.61, kDetail},
    {BandKind::PageFooter, "PageFooterBand1", 13.23, kPageFooter},
}};

constexpr double kPrintableHeight = kPaperHeight - 2 * kPaperMargin;

} // namespace

std::span<const ReportBand> ReportBands() {
    return kBands;
}

const ReportBand& Band(BandKind kind) {
    return kBands[static_cast<std::size_t>(kind)];
}

double BandTop(BandKind kind, std::size_t slot) {
    const double headers = Band(BandKind::PageHeader).height + Band(BandKind::ColumnHeader).height;
    switch (kind) {
    case BandKind::PageHeader:
        return 0;
    case BandKind::ColumnHeader:
        return Band(BandKind::PageHeader).height;
    case BandKind::Detail:
        return headers + static_cast<double>(slot) * Band(BandKind::Detail).height;
    case BandKind::PageFooter:
        return kPrintableHeight - Band(BandKind::PageFooter).height;
    }
    return 0;
}

std::size_t RowsPerPage() {
    const double room = BandTop(BandKind::PageFooter) - BandTop(BandKind::Detail);
    // A hair of slack so that rounding never loses a band that fits.
    return static_cast<std::size_t>(std::floor(room / Band(BandKind::Detail).height + 1e-9));
}

std::size_t PageCount(std::size_t rows) {
    const std::size_t perPage = RowsPerPage();
    return (rows + perPage - 1) / perPage;
}

PageRows RowsOfPage(std::size_t page, std::size_t rows) {
    const std::size_t perPage = RowsPerPage();
    const std::size_t first = std::min(page * perPage, rows);
    return {first, std::min(perPage, rows - first)};
}

double ItemLeft(const ReportItem& item) {
    return item.centred ? (kBandWidth - item.width) / 2 : item.left;
}

std::string ItemText(const ReportItem& item, const MeasurementTable& table, std::size_t row) {
    if (!item.field) {
        return std::string(item.caption);
    }
    if (*item.field == Field::No) {
        return table.HasNo(row) ? std::to_string(table.No(row)) : std::string();
    }
    return table.Text(row, *item.field);
}

} // namespace meterdesk::record
