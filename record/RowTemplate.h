#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace meterdesk::record {

// The form of a ROW element just read: its attribute names in order, each
// of the usual form (one space, the name, "=", a value in double quotes).
// A later ROW of the same form whose values are plain and under 32 bytes (no
// reference, quote, "<" or control) is read straight from its bytes, with
// the names and values the scanner would give; anything else is left to
// the scanner.
class RowTemplate {
public:
    static constexpr std::size_t kMaxAttributes = 8;

    // Learns the form of these names; false, and nothing learned, when
    // they are too many or too long for the quick read.
    bool Learn(const std::string_view* names, std::size_t count);
    void Forget() { count_ = 0; }
    std::size_t Count() const { return count_; }

    // A ROW of the learned form at `at` (blanks before it are skipped):
    // its values, and where it ends. nullopt when the bytes hold anything
    // else, or end too soon to tell.
    std::optional<std::size_t> Read(std::string_view bytes, std::size_t at,
                                    std::array<std::string_view, kMaxAttributes>& values) const;

private:
    // "<ROW name=\"" for the first attribute, " name=\"" for the others.
    std::array<std::array<char, 16>, kMaxAttributes> prefix_{};
    std::array<unsigned, kMaxAttributes> length_{};
    std::size_t count_ = 0;
};

} // namespace meterdesk::record
