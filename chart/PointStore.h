#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace meterdesk::chart {

// Every plotted value, a float each; a point's X is its index. Values live in
// fixed-size chunks, so appending never copies what is stored and costs the
// same at ten million points as at ten. Each block of values also keeps its
// lowest and highest, so thinning a long page reads the blocks, not every
// value.
class PointStore {
public:
    static constexpr std::size_t kChunkValues = 1U << 16;
    static constexpr std::size_t kBlockValues = 1U << 10;

    void Append(float value);
    void Clear();
    std::size_t Size() const { return size_; }
    float At(std::size_t index) const {
        return chunks_[index / kChunkValues][index % kChunkValues];
    }
    // The lowest and highest value of block b (values b*kBlockValues onward).
    float BlockMin(std::size_t block) const { return blockMin_[block]; }
    float BlockMax(std::size_t block) const { return blockMax_[block]; }
    // Bytes held for the values, including the unused rest of the last chunk.
    std::size_t BytesReserved() const { return chunks_.size() * kChunkValues * sizeof(float); }

private:
    std::vector<std::unique_ptr<float[]>> chunks_;
    std::vector<float> blockMin_;
    std::vector<float> blockMax_;
    std::size_t size_ = 0;
};

struct PlotPoint {
    double x;
    double y;
    bool operator==(const PlotPoint&) const = default;
};

// The points of X from..to (inclusive, clipped to the store) as drawn on
// `columns` pixel columns spread evenly over from..to, plus the nearest point
// beyond either end so the line runs to the edges. Every point when they are
// at most two a column; otherwise each column's lowest and highest point, in
// their order, so every column spans exactly the values that fall in it and
// a lone spike among millions of readings is drawn at its height.
std::vector<PlotPoint> DecimatedWindow(const PointStore& store, double from, double to,
                                       int columns);

// The line through `points` held inside low..high: wherever it leaves the
// band it runs along the edge, from the exact point where it crossed. Inside
// the band it is the same line, so with the band wider than the value axis
// the chart looks the same, and points far off the axis (readings of another
// range) cost the painter no more than points on it.
std::vector<PlotPoint> HeldInBand(const std::vector<PlotPoint>& points, double low, double high);

} // namespace meterdesk::chart
