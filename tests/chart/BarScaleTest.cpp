// Scope: the bar scale's geometry for the worked 318 x 82 panel, its labels
// and band colours, the needle, and the sizes that cannot be laid out.
#include "chart/BarScale.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::chart {
namespace {

struct RecordingCanvas final : Canvas {
    RecordingCanvas(int w, int h) : width(w), height(h) {}
    int Width() const override { return width; }
    int Height() const override { return height; }
    void Clear() override { ops.push_back("clear"); }
    void SetPen(int w, Rgb c) override {
        penWidth = w;
        pen = c;
    }
    void Ellipse(Point from, Point) override { dots.push_back({from, pen, penWidth}); }
    void Line(Point from, Point to) override {
        lines.push_back({from, to});
        linePens.push_back(pen);
    }
    void Text(Point at, std::string_view text) override {
        texts.push_back(std::string(text) + "@" + std::to_string(at.x) + "," +
                        std::to_string(at.y));
    }
    struct Dot {
        Point at;
        Rgb colour;
        int width;
    };
    int width;
    int height;
    int penWidth = 1;
    Rgb pen = kBlack;
    std::vector<std::string> ops;
    std::vector<Dot> dots;
    std::vector<std::pair<Point, Point>> lines;
    std::vector<Rgb> linePens;
    std::vector<std::string> texts;
};

TEST(BarScaleGeometry, WorkedExample318By82) {
    const auto g = ComputeScaleGeometry(318, 82);
    ASSERT_TRUE(g.has_value());
    EXPECT_FLOAT_EQ(g->W, 278.0F);
    EXPECT_FLOAT_EQ(g->H, 22.0F);
    EXPECT_NEAR(g->R, 450.11, 0.01);
    EXPECT_NEAR(g->S, 35.98, 0.01);
    EXPECT_NEAR(g->A0, 72.01, 0.01);
    EXPECT_EQ(ArcPoint(*g, 0, 80, 6), (Point{18, 46}));
    EXPECT_EQ(ArcPoint(*g, 0, 80, 18), (Point{14, 35}));
    EXPECT_EQ(ArcPoint(*g, 40, 80, 6), (Point{159, 24}));
    EXPECT_EQ(ArcPoint(*g, 80, 80, 6), (Point{300, 46}));
    EXPECT_EQ(ArcPoint(*g, 80, 80, 18), (Point{304, 35}));
    EXPECT_EQ(ArcPoint(*g, 0, 800, 3), (Point{19, 49}));
    EXPECT_EQ(ArcPoint(*g, 400, 800, 3), (Point{159, 27}));
    using Ends = std::pair<Point, Point>;
    EXPECT_EQ(NeedleEnds(*g, 400, 800), (Ends{{159, 34}, {159, 332}}));
    EXPECT_EQ(NeedleEnds(*g, 0, 800), (Ends{{20, 56}, {111, 332}}));
    EXPECT_EQ(NeedleEnds(*g, 800, 800), (Ends{{298, 56}, {207, 332}}));
}

TEST(BarScaleGeometry, SizesThatDivideByZeroDrawNothing) {
    EXPECT_FALSE(ComputeScaleGeometry(318, 60).has_value()); // H = 0
    EXPECT_FALSE(ComputeScaleGeometry(80, 80).has_value());  // W = 40 = 2H
    RecordingCanvas canvas(318, 60);
    BarScale scale;
    base::MeasurementState state;
    scale.KDsetup(canvas, state, {4002, -4002, false, false});
    scale.KDrun(canvas, state, 400);
    EXPECT_THAT(canvas.ops, ::testing::ElementsAre("clear"));
    EXPECT_TRUE(canvas.dots.empty());
    EXPECT_TRUE(canvas.lines.empty());
}

TEST(BarScale, LabelsTicksAndAlarmColours) {
    RecordingCanvas canvas(318, 82);
    BarScale scale;
    base::MeasurementState state; // count class "4"
    scale.KDsetup(canvas, state, {3000, -4000, true, true});
    EXPECT_EQ(canvas.texts.front(), "-40@9,28");
    EXPECT_EQ(canvas.texts[4], "0@156,8");
    EXPECT_EQ(canvas.texts.size(), 9U);
    // Nine white major ticks, then 801 band dots.
    ASSERT_EQ(canvas.dots.size(), 9U + 801U);
    EXPECT_EQ(canvas.dots[0].colour, kWhite);
    const auto band = [&](int i) { return canvas.dots[9 + static_cast<std::size_t>(i)].colour; };
    EXPECT_EQ(band(700), kBlack); // exactly 3000 stays black
    EXPECT_EQ(band(701), kRed);
    EXPECT_EQ(band(0), kBlack); // -4000 is not below the low limit
    EXPECT_EQ(canvas.dots[9].width, 4);

    RecordingCanvas off(318, 82);
    scale.KDsetup(off, state, {3000, -4000, false, false});
    for (std::size_t i = 9; i < off.dots.size(); ++i) {
        ASSERT_EQ(off.dots[i].colour, kBlack) << i;
    }
}

TEST(BarScale, NeedleErasesTheOldOneAndDrawsTheNew) {
    RecordingCanvas canvas(318, 82);
    BarScale scale;
    base::MeasurementState state;
    scale.KDrun(canvas, state, 400);
    scale.KDrun(canvas, state, 800);
    ASSERT_EQ(canvas.lines.size(), 4U);
    EXPECT_EQ(canvas.lines[0], (std::pair<Point, Point>{{0, 0}, {0, 0}}));
    EXPECT_EQ(canvas.linePens[0], kWhite);
    EXPECT_EQ(canvas.lines[2], (std::pair<Point, Point>{{159, 34}, {159, 332}}));
    EXPECT_EQ(canvas.linePens[3], kBlack);
    EXPECT_EQ(scale.NeedleTip, (Point{298, 56}));
}

TEST(BarScale, OtherCountClassesLabelAndTickInRed) {
    EXPECT_STREQ(LabelAt("6", 15).text, "-45");
    EXPECT_STREQ(LabelAt("34", 34).text, "0");
    EXPECT_EQ(LabelAt("34", 0).text, nullptr);
    EXPECT_EQ(MajorTickColour("6", 30), kRed);
    EXPECT_EQ(MajorTickColour("34", 14), kRed);
    EXPECT_FALSE(MajorTickColour("34", 10).has_value());
}

} // namespace
} // namespace meterdesk::chart
