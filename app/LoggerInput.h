#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace meterdesk::app {

// Reads `fd` block by block as the bytes arrive (a pipe that stays open, a
// file, a FIFO) and hands them to `feed` in pieces of at most 2048 bytes, as
// a serial poll would; memory stays at one block whatever the input's size.
// `tick` runs about every quarter second, busy or quiet. Ends at the end of
// the input or once `stop` says so; a read error is returned.
std::optional<std::string>
StreamInput(int fd, const std::function<void(const std::uint8_t*, std::size_t)>& feed,
            const std::function<void()>& tick, const std::function<bool()>& stop);

// Why `path` could not take the log at the end, asked before the run starts:
// a folder, a file that may not be written, a folder that takes no new file.
std::optional<std::string> OutputProblem(const std::string& path);

} // namespace meterdesk::app
