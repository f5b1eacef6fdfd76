#pragma once

#include "base/MeasurementState.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace meterdesk::chart {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// The arc of the analog bar scale for a panel size: a chord of width W with
// a rise of H inside 20-pixel side and 30-pixel top and bottom margins.
// Computed in single precision, as the drawing has always been.
struct ScaleGeometry {
    float W;
    float H;
    float R;  // radius
    float S;  // sweep in degrees
    float A0; // start angle in degrees
};

// nullopt when the size would divide by zero (H = 0, or W = 2H).
std::optional<ScaleGeometry> ComputeScaleGeometry(int panelWidth, int panelHeight);
// Step j of n along the arc, at radius R + k.
Point ArcPoint(const ScaleGeometry& g, int j, int n, float k);
// The needle for a position out of n: its tip by the arc and its foot below
// the panel; nullopt where the needle would lie flat (no foot).
std::optional<std::pair<Point, Point>> NeedleEnds(const ScaleGeometry& g, int position, int n);

// A scale label: the text of tick index i and its offset from the label
// anchor, for a count class; nullptr text when tick i has no label.
struct ScaleLabel {
    const char* text = nullptr;
    int dx = 0;
    int dy = 0;
};
ScaleLabel LabelAt(std::string_view countClass, int tick);

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kRed{255, 0, 0};

// The major tick colour of tick i, or nullopt where the class draws none.
std::optional<Rgb> MajorTickColour(std::string_view countClass, int tick);

// What the scale draws on.
class Canvas {
public:
    virtual ~Canvas() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Clear() = 0; // white
    virtual void SetPen(int width, Rgb colour) = 0;
    virtual void Ellipse(Point from, Point to) = 0;
    virtual void Line(Point from, Point to) = 0;
    virtual void Text(Point topLeft, std::string_view text) = 0;
};

// The alarm limits as the scale reads them.
struct ScaleAlarms {
    float high;
    float low;
    bool highEnabled; // SetMaxB checked
    bool lowEnabled;  // SetMinB checked
};

// The analog bar scale: the arc of dots over -FullScale..+FullScale counts,
// labelled in hundreds, red beyond an enabled alarm limit, and a needle.
class BarScale {
public:
    void KDsetup(Canvas& canvas, const base::MeasurementState& state, const ScaleAlarms& alarms);
    void KDrun(Canvas& canvas, const base::MeasurementState& state, int position);

    Point NeedleTip;
    Point NeedleFoot;
};

} // namespace meterdesk::chart
