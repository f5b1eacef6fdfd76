#include "record/Conversion.h"

#include "base/QuietThread.h"
#include "record/DataFileNames.h"
#include "record/DataFiles.h"
#include "record/DataPacket.h"
#include "record/InputFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

namespace meterdesk::record {

namespace {

// Small, so that the count touches few fresh pages.
constexpr std::size_t kCountBlock = std::size_t{128} << 10;
// A text this long is counted on two threads.
constexpr std::uint64_t kHalvesFrom = std::uint64_t{4} << 20;

// Ends a save whose source failed to load; the save then removes its file.
struct SourceFailed : std::runtime_error {
    SourceFailed() : std::runtime_error("the source failed to load") {}
};

// The line breaks in bytes[1..size), CR LF counting once. Byte-wide sums
// over runs of 255 let the compiler count many bytes a step.
std::size_t CountBreaks(const char* bytes, std::size_t size) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t breaks = 0;
    for (std::size_t i = 1; i < size;) {
        const std::size_t end = std::min(size, i + 255);
        unsigned char run = 0;
        for (; i < end; ++i) {
            run = static_cast<unsigned char>(
                run + ((b[i] == '\r') | ((b[i] == '\n') & (b[i - 1] != '\r'))));
        }
        breaks += run;
    }
    return breaks;
}

// Whether a line in `bytes` runs past what the reader takes; `run` carries
// the bytes since the last line break from block to block. Each step looks
// for the last break within the room the current line has left.
bool RunsTooLong(const char* bytes, std::size_t size, std::size_t& run) {
    std::size_t at = 0;
    while (at < size) {
        const std::size_t window = std::min(size - at, kMaxTextLineBytes - run + 1);
        // memrchr reads from the window's end, so with lines of usual
        // length it stops after a few bytes; a CR is then looked for only
        // after the LF found.
        const char* from = bytes + at;
        const char* end = from + window;
        const char* last = static_cast<const char*>(::memrchr(from, '\n', window));
        const char* afterLf = last == nullptr ? from : last + 1;
        if (const void* cr = ::memrchr(afterLf, '\r', static_cast<std::size_t>(end - afterLf))) {
            last = static_cast<const char*>(cr);
        }
        if (last == nullptr) {
            run += window;
            if (run > kMaxTextLineBytes) {
                return true;
            }
            at += window;
            continue;
        }
        run = 0;
        at = static_cast<std::size_t>(last - bytes) + 1;
    }
    return false;
}

// The line breaks in [from, to) of the file, `previous` the byte before
// `from` (0 at the start), and whether a line too long for the reader ended
// the count early: the load will fail on it.
struct RangeCount {
    std::size_t breaks = 0;
    bool tooLong = false;
};

std::optional<RangeCount> CountRange(const InputFile& file, std::uint64_t from, std::uint64_t to,
                                     char previous, std::string& error) {
    const auto block = std::make_unique_for_overwrite<char[]>(kCountBlock);
    RangeCount count;
    // Lines before `from` are not seen: a long one across it is left to
    // the load to find.
    std::size_t run = 0;
    for (std::uint64_t at = from; at < to;) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kCountBlock, to - at));
        const auto got = file.ReadAt(at, block.get(), want, error);
        if (!got) {
            return std::nullopt;
        }
        if (*got == 0) {
            break;
        }
        const char* bytes = block.get();
        // A LF right after a CR ends no line of its own.
        count.breaks +=
            static_cast<std::size_t>(bytes[0] == '\r' || (bytes[0] == '\n' && previous != '\r'));
        count.breaks += CountBreaks(bytes, *got);
        if (RunsTooLong(bytes, *got, run)) {
            count.tooLong = true;
            return count;
        }
        previous = bytes[*got - 1];
        at += *got;
    }
    return count;
}

// The lines the text reader will take: each CR, LF or CR LF ends one, and a
// last line without an end counts when it holds anything. A line too long
// for the reader ends the count early: the load will fail on it. A large
// file is counted in two halves, on two threads.
std::optional<std::size_t> CountTextLines(const std::string& name, std::string& error) {
    std::optional<InputFile> file = InputFile::Open(name, error);
    if (!file) {
        return std::nullopt;
    }
    const std::uint64_t size = file->Size();
    char last = 0;
    if (size > 0 && !file->ReadAt(size - 1, &last, 1, error)) {
        return std::nullopt;
    }
    const bool halves = size >= kHalvesFrom && std::thread::hardware_concurrency() >= 2;
    const std::uint64_t middle = halves ? size / 2 : size;
    std::optional<RangeCount> second{RangeCount{}};
    std::string secondError;
    std::thread other;
    if (halves) {
        char before = 0;
        if (!file->ReadAt(middle - 1, &before, 1, error)) {
            return std::nullopt;
        }
        other = base::StartQuietThread([&, before] {
            try {
                second = CountRange(*file, middle, size, before, secondError);
            } catch (const std::bad_alloc&) {
                second.reset();
                secondError = "out of memory";
            }
        });
    }
    std::optional<RangeCount> first;
    {
        // The second half is joined however the first one ends.
        struct Joined {
            std::thread& thread;
            ~Joined() {
                if (thread.joinable()) {
                    thread.join();
                }
            }
        } joined{other};
        first = CountRange(*file, 0, middle, 0, error);
    }
    if (!first || !second) {
        if (first) {
            error = secondError;
        }
        return std::nullopt;
    }
    const std::size_t lines = first->breaks + second->breaks;
    if (first->tooLong || second->tooLong) {
        return lines;
    }
    return lines + (size > 0 && last != '\r' && last != '\n' ? 1 : 0);
}

// Loads and saves through a table: data packet to data packet (its change
// log must count rows that only the load can tell), and a FIFO or device,
// which would keep the bytes of a source that failed half way.
ConvertOutcome ThroughTable(const std::string& from, const std::string& to) {
    MeasurementTable table;
    const LoadOutcome loaded = LoadTable(from, table, false);
    if (!loaded.ok) {
        return {loaded.error, std::nullopt};
    }
    return {std::nullopt, SaveTable(LocalFiles(), table, to).error};
}

} // namespace

ConvertOutcome ConvertFile(const std::string& from, const std::string& to) {
    const bool fromPacket = IsPacketFileName(from);
    const bool toPacket = IsPacketFileName(to);
    if ((fromPacket && toPacket) || LocalFiles().Inspect(to).kind == SaveTarget::Kind::Special) {
        return ThroughTable(from, to);
    }
    // The change log at the packet's start counts the rows to come: a text
    // gives one row a line after its header, or fails to load.
    std::size_t rows = 0;
    if (toPacket) {
        std::string error;
        const std::optional<std::size_t> lines = CountTextLines(from, error);
        if (!lines) {
            return {error, std::nullopt};
        }
        rows = *lines > 0 ? *lines - 1 : 0;
    }
    // Texts are cut by bytes, as a table made by the command line does.
    constexpr bool kUtf8Texts = false;
    std::optional<std::string> loadError;
    std::optional<std::string> saveError = SaveFileSafely(LocalFiles(), to, [&](ByteSink& sink) {
        LoadOutcome loaded;
        try {
            const std::unique_ptr<RowWriter> writer =
                toPacket ? std::unique_ptr<RowWriter>(
                               std::make_unique<PacketRowWriter>(sink, rows, kUtf8Texts))
                         : std::make_unique<TextRowWriter>(sink, kUtf8Texts);
            loaded = LoadRows(from, *writer);
            if (loaded.ok && toPacket && loaded.rows != rows) {
                loaded = {false, loaded.rows, "it changed while it was read"};
            }
            if (loaded.ok) {
                writer->Finish();
            }
        } catch (const std::bad_alloc&) {
            // A packet too large to hold, said as a load into a table says it;
            // the sink's own failures are no std::exception and pass on.
            loaded = {false, 0, "out of memory"};
        } catch (const std::exception& failure) {
            loaded = {false, 0, failure.what()};
        }
        if (!loaded.ok) {
            loadError = loaded.error;
            throw SourceFailed();
        }
    });
    if (loadError) {
        return {loadError, std::nullopt};
    }
    return {std::nullopt, std::move(saveError)};
}

} // namespace meterdesk::record
