#include "record/PackedRows.h"

#include <algorithm>
#include <limits>

namespace meterdesk::record {

namespace {

std::uint8_t WidthFor(std::uint32_t span) {
    if (span <= std::numeric_limits<std::uint8_t>::max()) {
        return 1;
    }
    return span <= std::numeric_limits<std::uint16_t>::max() ? 2 : 4;
}

bool Fits(std::uint32_t span, std::uint8_t width) {
    return width == 4 || span < (std::uint32_t{1} << (8 * width));
}

} // namespace

void PackedRows::Put(Column& column, std::size_t at, std::uint32_t value) {
    const std::uint32_t offset = value - column.base;
    switch (column.width) {
    case 1:
        column.bytes[at] = static_cast<std::uint8_t>(offset);
        break;
    case 2: {
        const auto narrow = static_cast<std::uint16_t>(offset);
        std::memcpy(&column.bytes[at * 2], &narrow, sizeof narrow);
        break;
    }
    default:
        std::memcpy(&column.bytes[at * 4], &offset, sizeof offset);
        break;
    }
}

void PackedRows::Widen(Column& column, std::size_t rows, std::uint32_t value) {
    Column wider;
    wider.base = std::min(column.base, value);
    wider.top = std::max(column.top, value);
    // Always a step wider, so a chunk's column is rebuilt at most twice.
    wider.width = std::max(WidthFor(wider.top - wider.base),
                           static_cast<std::uint8_t>(column.width == 1 ? 2 : 4));
    if (wider.width == 4) {
        wider.base = 0;
    }
    wider.bytes.resize(kChunkRows * wider.width);
    for (std::size_t at = 0; at < rows; ++at) {
        std::uint32_t offset = 0;
        if (column.width == 1) {
            offset = column.bytes[at];
        } else {
            std::uint16_t narrow = 0;
            std::memcpy(&narrow, &column.bytes[at * 2], sizeof narrow);
            offset = narrow;
        }
        Put(wider, at, column.base + offset);
    }
    column = std::move(wider);
}

void PackedRows::Truncate(std::size_t rows) {
    if (rows < size_) {
        chunks_.resize((rows + kChunkRows - 1) / kChunkRows);
        size_ = rows;
    }
}

void PackedRows::Append(const Row& row) {
    const std::size_t at = size_ % kChunkRows;
    if (at == 0) {
        if (chunks_.size() == chunks_.capacity()) {
            // The chunk list itself is small: one entry per 4096 rows.
            chunks_.reserve(std::max<std::size_t>(16, chunks_.size() * 2));
        }
        Chunk& chunk = chunks_.emplace_back();
        for (std::size_t c = 0; c < kColumns; ++c) {
            chunk[c].base = row[c];
            chunk[c].top = row[c];
            chunk[c].bytes.resize(kChunkRows);
        }
    }
    Chunk& chunk = chunks_.back();
    for (std::size_t c = 0; c < kColumns; ++c) {
        Column& column = chunk[c];
        const std::uint32_t value = row[c];
        if (value < column.base || !Fits(value - column.base, column.width)) {
            Widen(column, at, value);
        }
        column.top = std::max(column.top, value);
        Put(column, at, value);
    }
    ++size_;
}

} // namespace meterdesk::record
