// Scope: the trend chart pager over a recording chart: page counts with the
// origin point, following and browsing, page size, reset, fill, the value
// axis; and the point store with its thinning.
#include "chart/ChartControl.h"

#include "chart/PointStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace meterdesk::chart {
namespace {

struct RecordingChart final : ChartSurface {
    void AppendValue(double value) override { values.push_back(value); }
    void ClearValues() override { values.clear(); }
    std::size_t ValueCount() const override { return values.size(); }
    void ShowArea(bool shown) override { areaShown = shown; }
    void SetBottomMin(double minimum) override { bottomMin = minimum; }
    void SetBottomMax(double maximum) override { bottomMax = maximum; }
    double BottomMin() const override { return bottomMin; }
    double BottomMax() const override { return bottomMax; }
    void SetValueMin(double minimum) override {
        valueCalls.push_back("min " + std::to_string(int(minimum)));
    }
    void SetValueMax(double maximum) override {
        valueCalls.push_back("max " + std::to_string(int(maximum)));
    }
    void Repaint() override { ++repaints; }

    std::vector<double> values;
    bool areaShown = false;
    double bottomMin = 0;
    double bottomMax = 100;
    std::vector<std::string> valueCalls;
    int repaints = 0;
};

struct Pager : ::testing::Test {
    RecordingChart chart;
    TChartControl pager{chart, 100};

    std::int32_t Add(int readings) {
        std::int32_t page = 0;
        for (int i = 0; i < readings; ++i) {
            page = pager.AddPoint(i);
        }
        return page;
    }
    std::pair<double, double> Window() const { return {chart.bottomMin, chart.bottomMax}; }
};

TEST_F(Pager, CreationShowsPageOneWithTheOriginPoint) {
    EXPECT_EQ(chart.values, std::vector<double>{0});
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_TRUE(chart.areaShown);
    EXPECT_EQ(pager.PageCount, 1);
}

TEST_F(Pager, PagesCountTheReadingsNotTheOriginPoint) {
    EXPECT_EQ(Add(99), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(Add(1), 1); // the 100th reading fills page 1, which stays in view
    EXPECT_EQ(pager.PageCount, 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(Add(1), 2); // the 101st moves the window on
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
}

// A full last page once counted one page more than the readings filled, and
// paging back from it or resetting showed the empty window -99..0.
TEST_F(Pager, AFullLastPageStaysTheLastAndPagingBackShowsReadings) {
    Add(100);
    EXPECT_EQ(pager.PriorPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(pager.Reset(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));

    Add(200);
    ASSERT_EQ(pager.CurrentPage, 2);
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
    EXPECT_EQ(pager.PriorPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(pager.PriorPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(pager.LastPage(), 2);
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
    EXPECT_EQ(pager.FirstPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    pager.SetPageSize(50);
    EXPECT_EQ(pager.PageCount, 4);
    EXPECT_EQ(Window(), std::make_pair(151.0, 200.0));
}

TEST_F(Pager, BrowsingHoldsTheWindowUntilTheLastPage) {
    Add(250);
    ASSERT_EQ(pager.CurrentPage, 3);
    EXPECT_EQ(pager.PriorPage(), 2);
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
    EXPECT_EQ(Add(100), 2); // new points leave the browsed page in view
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
    EXPECT_EQ(pager.PageCount, 4);
    EXPECT_EQ(pager.NextPage(), 3);
    EXPECT_TRUE(pager.Browsing);
    EXPECT_EQ(pager.NextPage(), 4);
    EXPECT_FALSE(pager.Browsing);
    EXPECT_EQ(Window(), std::make_pair(301.0, 400.0));
    EXPECT_EQ(pager.FirstPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(pager.LastPage(), 4);
    EXPECT_FALSE(pager.Browsing);
    EXPECT_EQ(Window(), std::make_pair(301.0, 400.0));
}

TEST_F(Pager, PagingAtTheEndsChangesNothing) {
    EXPECT_EQ(pager.FirstPage(), 1);
    EXPECT_EQ(pager.PriorPage(), 1);
    EXPECT_EQ(pager.NextPage(), 1);
    EXPECT_EQ(pager.LastPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    Add(150);
    EXPECT_EQ(pager.NextPage(), 2);
    EXPECT_EQ(pager.LastPage(), 2);
    EXPECT_EQ(Window(), std::make_pair(101.0, 200.0));
    EXPECT_FALSE(pager.Browsing); // still following the newest page
    pager.FirstPage();
    EXPECT_EQ(pager.FirstPage(), 1);
    EXPECT_EQ(pager.PriorPage(), 1);
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(Add(1), 1); // the browsed page stays in view
}

TEST_F(Pager, NewPageSizeJumpsToTheLastPage) {
    Add(120);
    pager.PriorPage();
    pager.SetPageSize(50);
    EXPECT_EQ(pager.PageCount, 3); // 121 points
    EXPECT_EQ(pager.CurrentPage, 3);
    EXPECT_FALSE(pager.Browsing);
    EXPECT_EQ(Window(), std::make_pair(101.0, 150.0));
}

TEST_F(Pager, ResetLeavesOnlyTheOriginOnPageOne) {
    Add(350);
    EXPECT_EQ(pager.Reset(), 1);
    EXPECT_EQ(chart.values, std::vector<double>{0});
    EXPECT_EQ(Window(), std::make_pair(1.0, 100.0));
    EXPECT_EQ(pager.NextPage(), 1);
    EXPECT_EQ(pager.LastPage(), 1);
}

TEST_F(Pager, FillAndValueAxisTouchTheChartOnlyOnChange) {
    pager.SetFill(false);
    EXPECT_FALSE(chart.areaShown);
    pager.SetFill(true);
    EXPECT_TRUE(chart.areaShown);
    pager.SetAxisMax(4000);
    pager.SetAxisMin(-4000);
    pager.SetAxisMin(-4000);
    pager.SetAxisMax(4000);
    pager.SetAxisMin(-60);
    EXPECT_THAT(chart.valueCalls, ::testing::ElementsAre("max 4000", "min -4000", "min -60"));
}

TEST(PointStore, KeepsEveryValueInFourBytesAndThinsTheWindow) {
    PointStore store;
    for (int i = 0; i < 200000; ++i) {
        store.Append(static_cast<float>(i % 1000));
    }
    EXPECT_EQ(store.Size(), 200000U);
    EXPECT_EQ(store.At(123456), 456.0F);
    EXPECT_LE(store.BytesReserved(), store.Size() * 4 + PointStore::kChunkValues * 4);

    // Few points: all of them, plus one either side of the window.
    const auto few = DecimatedWindow(store, 101, 200, 300);
    EXPECT_EQ(few.size(), 102U);
    EXPECT_EQ(few.front(), (PlotPoint{100, 100}));
    // Many: at most about two a column, and the extremes survive.
    const auto many = DecimatedWindow(store, 1, 199999, 300);
    EXPECT_LE(many.size(), 602U);
    EXPECT_NE(std::find_if(many.begin(), many.end(), [](const PlotPoint& p) { return p.y == 999; }),
              many.end());
    EXPECT_NE(std::find_if(many.begin(), many.end(), [](const PlotPoint& p) { return p.y == 0; }),
              many.end());
    store.Clear();
    EXPECT_TRUE(DecimatedWindow(store, 1, 100, 300).empty());
}

TEST(PointStore, ALoneSpikeAmongTenMillionReadingsIsDrawnAtItsHeight) {
    PointStore store;
    store.Append(0); // the origin point
    constexpr std::size_t kReadings = 10'000'000;
    for (std::size_t i = 1; i <= kReadings; ++i) {
        const float reading = i == 7'654'321   ? 3999.0F
                              : i == 1'234'567 ? -3999.0F
                                               : static_cast<float>(1200 + i % 7);
        store.Append(reading);
    }
    const auto page = DecimatedWindow(store, 1, static_cast<double>(kReadings), 329);
    EXPECT_LE(page.size(), 2U * 329 + 2);
    EXPECT_THAT(page, ::testing::Contains(PlotPoint{7'654'321, 3999}));
    EXPECT_THAT(page, ::testing::Contains(PlotPoint{1'234'567, -3999}));
}

TEST(PointStore, ALineHeldInABandKeepsItsCourseInsideIt) {
    const std::vector<PlotPoint> inside{{0, 1}, {1, -2}, {2, 3}};
    EXPECT_EQ(HeldInBand(inside, -10, 10), inside);
    // Leaving the band: the crossing on the line, then along the edge.
    EXPECT_THAT(HeldInBand({{0, 0}, {2, 100}, {3, 5}}, -10, 10),
                ::testing::ElementsAre(PlotPoint{0, 0}, PlotPoint{0.2, 10}, PlotPoint{2, 10},
                                       PlotPoint{2 + 90.0 / 95, 10}, PlotPoint{3, 5}));
    // Across the whole band in one step, both edges in the order met.
    EXPECT_THAT(HeldInBand({{0, 100}, {1, -100}}, -10, 10),
                ::testing::ElementsAre(PlotPoint{0, 10}, PlotPoint{0.45, 10}, PlotPoint{0.55, -10},
                                       PlotPoint{1, -10}));
}

TEST(PointStore, EveryColumnKeepsItsLowestAndHighestInOrder) {
    PointStore store;
    std::uint32_t noise = 12345;
    for (int i = 0; i < 300'000; ++i) {
        noise = noise * 1103515245U + 12345U;
        store.Append(static_cast<float>(noise >> 20U));
    }
    // Windows that start mid-block, and column widths that are not whole.
    for (const auto& [from, to, columns] :
         {std::tuple{1.0, 299'000.0, 300}, std::tuple{5'000.0, 12'345.0, 97},
          std::tuple{70'000.5, 260'000.25, 641}}) {
        const auto page = DecimatedWindow(store, from, to, columns);
        const double width = (to - from) / columns;
        for (int c = 0; c < columns; ++c) {
            const double left = from + c * width;
            const double right = c == columns - 1 ? std::floor(to) + 1 : from + (c + 1) * width;
            float low = 1e9F;
            float high = -1e9F;
            for (auto i = static_cast<std::size_t>(std::ceil(left)); static_cast<double>(i) < right;
                 ++i) {
                low = std::min(low, store.At(i));
                high = std::max(high, store.At(i));
            }
            float drawnLow = 1e9F;
            float drawnHigh = -1e9F;
            for (const PlotPoint& p : page) {
                if (p.x >= left && p.x < right) {
                    drawnLow = std::min(drawnLow, static_cast<float>(p.y));
                    drawnHigh = std::max(drawnHigh, static_cast<float>(p.y));
                }
            }
            ASSERT_EQ(drawnLow, low) << from << " column " << c;
            ASSERT_EQ(drawnHigh, high) << from << " column " << c;
        }
        EXPECT_TRUE(
            std::is_sorted(page.begin(), page.end(),
                           [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; }));
        EXPECT_LE(page.size(), 2U * static_cast<std::size_t>(columns) + 2);
    }
}

} // namespace
} // namespace meterdesk::chart
