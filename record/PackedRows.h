#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace meterdesk::record {

// Rows of six unsigned 32-bit numbers, in chunks of a fixed number of rows so
// that a growing log never copies or doubles its storage. Within a chunk each
// column keeps an offset from its smallest number in 1, 2 or 4 bytes, the
// narrowest that fits: row numbers that count up, and text numbers of
// readings close in time, take a byte or two. A column is widened (at most
// twice per chunk) when a number does not fit.
class PackedRows {
public:
    static constexpr std::size_t kColumns = 6;
    static constexpr std::size_t kChunkRows = 4096;
    using Row = std::array<std::uint32_t, kColumns>;

    void Append(const Row& row);
    void Clear() {
        chunks_.clear();
        size_ = 0;
    }
    std::size_t Size() const { return size_; }
    // Keeps the first `rows` rows.
    void Truncate(std::size_t rows);

    std::uint32_t Get(std::size_t row, std::size_t column) const {
        const Column& c = chunks_[row / kChunkRows][column];
        const std::size_t at = row % kChunkRows;
        switch (c.width) {
        case 1:
            return c.base + c.bytes[at];
        case 2: {
            std::uint16_t offset = 0;
            std::memcpy(&offset, &c.bytes[at * 2], sizeof offset);
            return c.base + offset;
        }
        default: {
            std::uint32_t offset = 0;
            std::memcpy(&offset, &c.bytes[at * 4], sizeof offset);
            return c.base + offset;
        }
        }
    }

private:
    struct Column {
        std::uint32_t base = 0;
        std::uint32_t top = 0; // the largest number held
        std::uint8_t width = 1;
        std::vector<std::uint8_t> bytes;
    };
    using Chunk = std::array<Column, kColumns>;

    static void Put(Column& column, std::size_t at, std::uint32_t value);
    static void Widen(Column& column, std::size_t rows, std::uint32_t value);

    std::vector<Chunk> chunks_;
    std::size_t size_ = 0;
};

} // namespace meterdesk::record
