#include "chart/BarScale.h"

#include <array>
#include <cmath>
#include <numbers>

namespace meterdesk::chart {

namespace {

// r(v): to the nearest integer, halves to even.
int Round(float v) {
    return static_cast<int>(std::nearbyint(v));
}

float Theta(const ScaleGeometry& g, int j, int n) {
    return (g.S / static_cast<float>(n) * static_cast<float>(j) + g.A0) *
           std::numbers::pi_v<float> / 180.0F;
}

struct LabelRow {
    std::string_view countClass;
    int tick;
    ScaleLabel label;
};

constexpr std::array<LabelRow, 25> kLabels{{
    {"4", 0, {"-40", -5, -7}},   {"4", 10, {"-30", -8, -6}},   {"4", 20, {"-20", -10, -5}},
    {"4", 30, {"-10", -10, -4}}, {"4", 40, {"0", -3, -4}},     {"4", 50, {"10", -5, -5}},
    {"4", 60, {"20", -8, -5}},   {"4", 70, {"30", -10, -6}},   {"4", 80, {"40", -12, -7}},
    {"6", 0, {"-60", -5, -7}},   {"6", 15, {"-45", -8, -6}},   {"6", 30, {"-30", -10, -5}},
    {"6", 45, {"-15", -10, -4}}, {"6", 60, {"0", -3, -4}},     {"6", 75, {"15", -5, -5}},
    {"6", 90, {"30", -8, -5}},   {"6", 105, {"45", -10, -6}},  {"6", 120, {"60", -11, -7}},
    {"34", 4, {"-30", -8, -6}},  {"34", 14, {"-20", -10, -5}}, {"34", 24, {"-10", -10, -4}},
    {"34", 34, {"0", -3, -4}},   {"34", 44, {"10", -5, -5}},   {"34", 54, {"20", -8, -5}},
    {"34", 64, {"30", -10, -6}},
}};

} // namespace

std::optional<ScaleGeometry> ComputeScaleGeometry(int panelWidth, int panelHeight) {
    ScaleGeometry g{};
    g.W = static_cast<float>(panelWidth - 40);
    g.H = static_cast<float>(panelHeight - 60);
    if (g.H == 0.0F) {
        return std::nullopt;
    }
    g.R = (4.0F * g.H * g.H + g.W * g.W) / (8.0F * g.H);
    if (g.R - g.H == 0.0F) {
        return std::nullopt;
    }
    // The sweep uses 3.1415 for pi, as the scale always has.
    g.S = 2.0F * std::atan((g.W / 2.0F) / (g.R - g.H)) * 180.0F / 3.1415F;
    g.A0 = (180.0F - g.S) / 2.0F;
    return g;
}

Point ArcPoint(const ScaleGeometry& g, int j, int n, float k) {
    const float theta = Theta(g, j, n);
    return {Round(g.W / 2.0F - (g.R + k) * std::cos(theta) + 20.0F),
            Round(g.R - (g.R + k) * std::sin(theta) + 30.0F)};
}

std::optional<std::pair<Point, Point>> NeedleEnds(const ScaleGeometry& g, int position, int n) {
    const float theta = Theta(g, position, n);
    const float sine = std::sin(theta);
    if (sine == 0.0F) {
        return std::nullopt;
    }
    const Point tip{Round(g.W / 2.0F - g.R * std::cos(theta)) + 20,
                    Round(g.R - g.R * sine + 4.0F) + 30};
    const float d = g.R - g.H - 280.0F;
    const Point foot{Round(g.W / 2.0F - d * std::cos(theta) / sine) + 20, Round(280.0F + g.H) + 30};
    return std::make_pair(tip, foot);
}

ScaleLabel LabelAt(std::string_view countClass, int tick) {
    for (const LabelRow& row : kLabels) {
        if (row.countClass == countClass && row.tick == tick) {
            return row.label;
        }
    }
    return {};
}

std::optional<Rgb> MajorTickColour(std::string_view countClass, int tick) {
    if (countClass == "6" && tick % 15 == 0) {
        return kRed;
    }
    if (countClass == "4" && tick % 10 == 0) {
        return kWhite; // drawn, but white on the white face
    }
    if (countClass == "34" && tick % 10 == 4) {
        return kRed;
    }
    return std::nullopt;
}

void BarScale::KDsetup(Canvas& canvas, const base::MeasurementState& state,
                       const ScaleAlarms& alarms) {
    canvas.Clear();
    const auto geometry = ComputeScaleGeometry(canvas.Width(), canvas.Height());
    if (!geometry) {
        return; // a size the arc cannot be laid out for
    }
    const int ticks = state.ScaleTicks;
    for (int i = 0; i <= ticks; ++i) {
        const Point p6 = ArcPoint(*geometry, i, ticks, 6.0F);
        const Point p18 = ArcPoint(*geometry, i, ticks, 18.0F);
        canvas.SetPen(1, kBlack);
        if (const ScaleLabel label = LabelAt(state.CountClass, i); label.text != nullptr) {
            canvas.Text({p18.x + label.dx, p18.y + label.dy}, label.text);
        }
        if (const auto colour = MajorTickColour(state.CountClass, i)) {
            canvas.SetPen(2, *colour);
            canvas.Ellipse(p6, {p6.x + 2, p6.y + 2});
        }
    }
    const int dots = ticks * 10;
    for (int i = 0; i <= dots; ++i) {
        const Point p3 = ArcPoint(*geometry, i, dots, 3.0F);
        const auto counts = static_cast<float>((i - state.FullScale / 10) * 10);
        const bool red = (counts > alarms.high && alarms.highEnabled) ||
                         (counts < alarms.low && alarms.lowEnabled);
        canvas.SetPen(4, red ? kRed : kBlack);
        canvas.Ellipse(p3, {p3.x + 2, p3.y + 2});
    }
}

void BarScale::KDrun(Canvas& canvas, const base::MeasurementState& state, int position) {
    const auto geometry = ComputeScaleGeometry(canvas.Width(), canvas.Height());
    if (!geometry) {
        return;
    }
    const auto ends = NeedleEnds(*geometry, position, state.ScaleTicks * 10);
    if (!ends) {
        return;
    }
    canvas.SetPen(2, kWhite); // erase the old needle
    canvas.Line(NeedleTip, NeedleFoot);
    NeedleTip = ends->first;
    NeedleFoot = ends->second;
    canvas.SetPen(2, kBlack);
    canvas.Line(NeedleTip, NeedleFoot);
}

} // namespace meterdesk::chart
