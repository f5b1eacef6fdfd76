#pragma once

#include "record/MeasurementTable.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace meterdesk::record {

// The printed table (QuickRep1): a banded list on A4 portrait. Every length
// here is in millimetres; a page's origin is the top left corner inside its
// margins.
inline constexpr double kPaperWidth = 210;
inline constexpr double kPaperHeight = 297;
inline constexpr double kPaperMargin = 10;
inline constexpr double kBandWidth = 189.97;

enum class ReportFont : std::uint8_t {
    Symbol, // the LCD symbol font, painted by the glyph painter
    Arial,
};

// One text of a band: a fixed caption or a field of the row.
struct ReportItem {
    std::string_view name;
    std::string_view caption; // empty for a field
    std::optional<Field> field;
    double left; // ignored when centred
    double top;
    double width; // 0: as wide as its text, left-aligned from `left`
    double height;
    ReportFont font;
    bool centred = false; // on the band, with its text centred
};

enum class BandKind : std::uint8_t { PageHeader, ColumnHeader, Detail, PageFooter };

struct ReportBand {
    BandKind kind;
    std::string_view name;
    double height;
    std::span<const ReportItem> items;
};

// The four bands in printing order.
std::span<const ReportBand> ReportBands();
const ReportBand& Band(BandKind kind);

// Height of the report's text (10 pt), in millimetres.
inline constexpr double kTextPoints = 10;

// Detail bands that fit between the column header and the page footer.
std::size_t RowsPerPage();
// Pages the table fills: none when it is empty (no band is printed).
std::size_t PageCount(std::size_t rows);
// The first row and the number of rows of a page.
struct PageRows {
    std::size_t first;
    std::size_t count;
};
PageRows RowsOfPage(std::size_t page, std::size_t rows);

// Where a band starts on its page: the page header at the top, the column
// header below it, detail band `slot` below that, the page footer at the foot.
double BandTop(BandKind kind, std::size_t slot = 0);

// The left edge of an item on its band.
double ItemLeft(const ReportItem& item);

// What an item shows for a row: its caption, or the field's display text
// (the number in decimal digits, texts as stored).
std::string ItemText(const ReportItem& item, const MeasurementTable& table, std::size_t row);

} // namespace meterdesk::record
