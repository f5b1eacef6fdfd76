#include "chart/PointStore.h"

#include <algorithm>
#include <cmath>

namespace meterdesk::chart {

void PointStore::Append(float value) {
    if (size_ == chunks_.size() * kChunkValues) {
        chunks_.push_back(std::make_unique<float[]>(kChunkValues));
    }
    chunks_[size_ / kChunkValues][size_ % kChunkValues] = value;
    if (size_ % kBlockValues == 0) {
        blockMin_.push_back(value);
        blockMax_.push_back(value);
    } else {
        blockMin_.back() = std::min(blockMin_.back(), value);
        blockMax_.back() = std::max(blockMax_.back(), value);
    }
    ++size_;
}

void PointStore::Clear() {
    chunks_.clear();
    blockMin_.clear();
    blockMax_.clear();
    size_ = 0;
}

namespace {

// The first lowest and the first highest value of X begin..end-1.
struct Extremes {
    std::size_t low;
    std::size_t high;
};

void ScanValues(const PointStore& store, std::size_t begin, std::size_t end, Extremes& found) {
    float low = store.At(found.low);
    float high = store.At(found.high);
    for (std::size_t i = begin; i < end; ++i) {
        const float value = store.At(i);
        if (value < low) {
            low = value;
            found.low = i;
        }
        if (value > high) {
            high = value;
            found.high = i;
        }
    }
}

// The first index of block b holding `value`.
std::size_t FindInBlock(const PointStore& store, std::size_t block, float value) {
    std::size_t i = block * PointStore::kBlockValues;
    while (store.At(i) != value) {
        ++i;
    }
    return i;
}

Extremes ColumnExtremes(const PointStore& store, std::size_t begin, std::size_t end) {
    constexpr std::size_t kBlock = PointStore::kBlockValues;
    Extremes found{begin, begin};
    const std::size_t firstWhole = (begin + kBlock - 1) / kBlock;
    const std::size_t endWhole = end / kBlock;
    if (firstWhole >= endWhole) {
        ScanValues(store, begin + 1, end, found);
        return found;
    }
    // The part before the first whole block, the whole blocks by their
    // summaries, then the rest; strict comparisons keep the first extreme.
    ScanValues(store, begin + 1, firstWhole * kBlock, found);
    std::size_t lowBlock = endWhole;
    std::size_t highBlock = endWhole;
    float low = store.At(found.low);
    float high = store.At(found.high);
    for (std::size_t b = firstWhole; b < endWhole; ++b) {
        if (store.BlockMin(b) < low) {
            low = store.BlockMin(b);
            lowBlock = b;
        }
        if (store.BlockMax(b) > high) {
            high = store.BlockMax(b);
            highBlock = b;
        }
    }
    if (lowBlock != endWhole) {
        found.low = FindInBlock(store, lowBlock, low);
    }
    if (highBlock != endWhole) {
        found.high = FindInBlock(store, highBlock, high);
    }
    ScanValues(store, endWhole * kBlock, end, found);
    return found;
}

} // namespace

std::vector<PlotPoint> DecimatedWindow(const PointStore& store, double from, double to,
                                       int columns) {
    std::vector<PlotPoint> points;
    if (store.Size() == 0 || to < 0 || to < from) {
        return points;
    }
    // One point either side of the window, so the line runs to its edges.
    const auto first = static_cast<std::size_t>(std::max(0.0, std::floor(from) - 1));
    const std::size_t last =
        std::min(store.Size() - 1, static_cast<std::size_t>(std::max(0.0, std::ceil(to) + 1)));
    if (first > last) {
        return points;
    }
    const auto point = [&store](std::size_t i) {
        return PlotPoint{static_cast<double>(i), store.At(i)};
    };
    const std::size_t count = last - first + 1;
    columns = std::max(columns, 1);
    const auto budget = static_cast<std::size_t>(columns) * 2;
    if (count <= budget) {
        points.reserve(count);
        for (std::size_t i = first; i <= last; ++i) {
            points.push_back(point(i));
        }
        return points;
    }
    // The points inside from..to, spread over the columns; column c holds
    // X from + c*w up to (not including) from + (c+1)*w.
    const std::size_t inFirst =
        std::max(first, static_cast<std::size_t>(std::max(0.0, std::ceil(from))));
    const std::size_t inLast = std::min(last, static_cast<std::size_t>(std::floor(to)));
    const double width = (to - from) / columns;
    const auto columnStart = [&](int column) {
        const double x = std::ceil(from + column * width);
        return std::clamp(static_cast<std::size_t>(std::max(0.0, x)), inFirst, inLast + 1);
    };
    points.reserve(budget + 2);
    if (first < inFirst) {
        points.push_back(point(first));
    }
    for (int column = 0; column < columns; ++column) {
        const std::size_t begin = column == 0 ? inFirst : columnStart(column);
        const std::size_t end = column == columns - 1 ? inLast + 1 : columnStart(column + 1);
        if (begin >= end) {
            continue;
        }
        const Extremes found = ColumnExtremes(store, begin, end);
        const std::size_t a = std::min(found.low, found.high);
        const std::size_t b = std::max(found.low, found.high);
        points.push_back(point(a));
        if (b != a) {
            points.push_back(point(b));
        }
    }
    if (last > inLast) {
        points.push_back(point(last));
    }
    return points;
}

std::vector<PlotPoint> HeldInBand(const std::vector<PlotPoint>& points, double low, double high) {
    std::vector<PlotPoint> held;
    held.reserve(points.size());
    const auto clamped = [&](const PlotPoint& p) {
        return PlotPoint{p.x, std::clamp(p.y, low, high)};
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PlotPoint& q = points[i];
        if (i > 0) {
            // Where the segment from p to q crosses an edge, in the order met.
            const PlotPoint& p = points[i - 1];
            const auto crossing = [&](double edge) {
                const double t = (edge - p.y) / (q.y - p.y);
                return PlotPoint{p.x + t * (q.x - p.x), edge};
            };
            const bool rising = q.y > p.y;
            for (const double edge : {rising ? low : high, rising ? high : low}) {
                if ((p.y < edge && edge < q.y) || (q.y < edge && edge < p.y)) {
                    held.push_back(crossing(edge));
                }
            }
        }
        held.push_back(clamped(q));
    }
    return held;
}

} // namespace meterdesk::chart
