#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace meterdesk::chart {

// Every plotted value, a float each; a point's X is its index. Values live in
// fixed-size chunks, so appending never copies what is stored and costs the
// same at ten million points as at ten.
class PointStore {
public:
    static constexpr std::size_t kChunkValues = 1U << 16;

    void Append(float value);
    void Clear();
    std::size_t Size() const { return size_; }
    float At(std::size_t index) const {
        return chunks_[index / kChunkValues][index % kChunkValues];
    }
    // Bytes held for the values, including the unused rest of the last chunk.
    std::size_t BytesReserved() const { return chunks_.size() * kChunkValues * sizeof(float); }

private:
    std::vector<std::unique_ptr<float[]>> chunks_;
    std::size_t size_ = 0;
};

struct PlotPoint {
    double x;
    double y;
    bool operator==(const PlotPoint&) const = default;
};

// The points of X from..to (inclusive, clipped to the store) as drawn on
// `columns` pixel columns: every point when they are few, otherwise the
// first, the lowest and highest of each column in their order, and the last,
// so the line looks the same and costs at most about two points a column.
std::vector<PlotPoint> DecimatedWindow(const PointStore& store, double from, double to,
                                       int columns);

} // namespace meterdesk::chart
