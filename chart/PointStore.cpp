#include "chart/PointStore.h"

#include <algorithm>
#include <cmath>

namespace meterdesk::chart {

void PointStore::Append(float value) {
    if (size_ == chunks_.size() * kChunkValues) {
        chunks_.push_back(std::make_unique<float[]>(kChunkValues));
    }
    chunks_[size_ / kChunkValues][size_ % kChunkValues] = value;
    ++size_;
}

void PointStore::Clear() {
    chunks_.clear();
    size_ = 0;
}

std::vector<PlotPoint> DecimatedWindow(const PointStore& store, double from, double to,
                                       int columns) {
    std::vector<PlotPoint> points;
    if (store.Size() == 0 || to < 0) {
        return points;
    }
    // One point either side of the window, so the line runs to its edges.
    const auto first = static_cast<std::size_t>(std::max(0.0, std::floor(from) - 1));
    const std::size_t last =
        std::min(store.Size() - 1, static_cast<std::size_t>(std::max(0.0, std::ceil(to) + 1)));
    if (first > last) {
        return points;
    }
    const std::size_t count = last - first + 1;
    const auto budget = static_cast<std::size_t>(std::max(columns, 1)) * 2;
    if (count <= budget) {
        points.reserve(count);
        for (std::size_t i = first; i <= last; ++i) {
            points.push_back({static_cast<double>(i), store.At(i)});
        }
        return points;
    }
    const double perColumn = static_cast<double>(count) / static_cast<double>(columns);
    points.reserve(budget + 2);
    points.push_back({static_cast<double>(first), store.At(first)});
    for (int column = 0; column < columns; ++column) {
        const auto begin = first + static_cast<std::size_t>(column * perColumn);
        const auto end =
            std::min(last + 1, first + static_cast<std::size_t>((column + 1) * perColumn));
        if (begin >= end) {
            continue;
        }
        std::size_t low = begin;
        std::size_t high = begin;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (store.At(i) < store.At(low)) {
                low = i;
            }
            if (store.At(i) > store.At(high)) {
                high = i;
            }
        }
        const std::size_t a = std::min(low, high);
        const std::size_t b = std::max(low, high);
        points.push_back({static_cast<double>(a), store.At(a)});
        if (b != a) {
            points.push_back({static_cast<double>(b), store.At(b)});
        }
    }
    points.push_back({static_cast<double>(last), store.At(last)});
    return points;
}

} // namespace meterdesk::chart
