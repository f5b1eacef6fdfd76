// Scope: how the printed table falls into pages and where its bands go.
#include "record/ReportLayout.h"

#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

TEST(ReportLayout, BandsFillThePrintableHeightAndTheFooterSitsAtTheFoot) {
    EXPECT_DOUBLE_EQ(BandTop(BandKind::ColumnHeader), 13.23);
    EXPECT_DOUBLE_EQ(BandTop(BandKind::Detail, 2), 26.46 + 2 * 6.61);
    EXPECT_DOUBLE_EQ(BandTop(BandKind::PageFooter), 277 - 13.23);
    EXPECT_EQ(RowsPerPage(), 35U);
    // The last detail band ends above the footer.
    EXPECT_LE(BandTop(BandKind::Detail, RowsPerPage()), BandTop(BandKind::PageFooter));
    EXPECT_DOUBLE_EQ(ItemLeft(Band(BandKind::PageHeader).items[0]), (189.97 - 35.45) / 2);
}

TEST(ReportLayout, RowsFallIntoPagesInTableOrderAndAnEmptyTableHasNone) {
    EXPECT_EQ(PageCount(0), 0U);
    EXPECT_EQ(PageCount(35), 1U);
    EXPECT_EQ(PageCount(36), 2U);
    const PageRows last = RowsOfPage(2, 71);
    EXPECT_EQ(last.first, 70U);
    EXPECT_EQ(last.count, 1U);
}

TEST(ReportLayout, ItemsShowCaptionsOrTheRowsDisplayText) {
    MeasurementTable table;
    table.Append({12, "12:00:00", "DC", "1.0", "k*", "AUTO"});
    table.Append({0, "", "", "", "", "", false});
    const auto detail = Band(BandKind::Detail).items;
    EXPECT_EQ(ItemText(detail[0], table, 0), "12");
    EXPECT_EQ(ItemText(detail[0], table, 1), "");
    EXPECT_EQ(ItemText(detail[4], table, 0), "k*");
    EXPECT_EQ(ItemText(Band(BandKind::PageFooter).items[0], table, 0), "The Data Print Foot");
    EXPECT_EQ(ItemText(Band(BandKind::ColumnHeader).items[5], table, 0), "AUTO");
}

} // namespace
} // namespace meterdesk::record
