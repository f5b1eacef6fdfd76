#include "record/Conversion.h"

#include "record/DataFileNames.h"
#include "record/DataFiles.h"
#include "record/DataPacket.h"
#include "record/InputFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace meterdesk::record {

namespace {

constexpr std::size_t kCountBlock = std::size_t{1} << 20;

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

// The lines the text reader will take: each CR, LF or CR LF ends one, and a
// last line without an end counts when it holds anything. A line too long
// for the reader ends the count early: the load will fail on it.
std::optional<std::size_t> CountTextLines(const std::string& name, std::string& error) {
    std::optional<InputFile> file = InputFile::Open(name, error);
    if (!file) {
        return std::nullopt;
    }
    const auto block = std::make_unique_for_overwrite<char[]>(kCountBlock);
    std::size_t lines = 0;
    bool any = false;
    char previous = 0;
    std::size_t run = 0;
    for (;;) {
        const auto got = file->Read(block.get(), kCountBlock, error);
        if (!got) {
            return std::nullopt;
        }
        if (*got == 0) {
            return lines + (any && previous != '\r' && previous != '\n' ? 1 : 0);
        }
        const char* bytes = block.get();
        // A LF right after a CR ends no line of its own.
        lines +=
            static_cast<std::size_t>(bytes[0] == '\r' || (bytes[0] == '\n' && previous != '\r'));
        lines += CountBreaks(bytes, *got);
        any = true;
        if (RunsTooLong(bytes, *got, run)) {
            return lines;
        }
        previous = bytes[*got - 1];
    }
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
