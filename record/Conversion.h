#pragma once

#include <optional>
#include <string>

namespace meterdesk::record {

// What a convert did: which side failed and why, if one did.
struct ConvertOutcome {
    std::optional<std::string> loadError; // `from` could not be read whole
    std::optional<std::string> saveError; // `to` could not be written
};

// Writes the rows of the file `from` to the file `to`, each in the format
// its name chooses, with the bytes a load and a save would give. Unless
// both are data packets or `to` is a FIFO or device, no table is kept: each
// row is written as it is read. A source that fails to load leaves `to` as
// it was.
ConvertOutcome ConvertFile(const std::string& from, const std::string& to);

} // namespace meterdesk::record
