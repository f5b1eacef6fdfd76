#pragma once

#include <cstddef>
#include <cstring>

namespace meterdesk::base {

// Copies a piece of a few bytes with two fixed-size moves that may overlap,
// rather than a call, as the file writers do for each text of a row; `to`
// has room for the piece.
inline void CopyShort(char* to, const char* from, std::size_t size) {
    if (size > 16) {
        std::memcpy(to, from, size);
    } else if (size >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + size - 8, from + size - 8, 8);
    } else if (size >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + size - 4, from + size - 4, 4);
    } else if (size > 0) {
        to[0] = from[0];
        to[size / 2] = from[size / 2];
        to[size - 1] = from[size - 1];
    }
}

} // namespace meterdesk::base
