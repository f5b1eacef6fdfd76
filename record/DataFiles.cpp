#include "record/DataFiles.h"

#include "record/DataFileNames.h"
#include "record/DataPacket.h"
#include "record/InputFile.h"
#include "record/SegmentedRead.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>

namespace meterdesk::record {

std::string PacketSavedMessage(std::string_view name) {
    return "Save table to specified file: " + std::string(name) + " Scuss!";
}

std::string PictureSavedMessage(std::string_view name) {
    return "Graphic has been saved successfully at the following location: " + std::string(name);
}

std::string NotSavedMessage(std::string_view name, std::string_view reason) {
    return "Cannot write the file \"" + std::string(name) + "\": " + std::string(reason) +
           ".\nThe file was not saved.";
}

SaveOutcome SaveTable(FileSystem& files, const MeasurementTable& table, const std::string& name,
                      const WalkProgress& progress) {
    SaveOutcome outcome;
    outcome.packet = IsPacketFileName(name);
    const std::size_t rows = table.RowCount();
    outcome.error = SaveFileSafely(files, name, [&](ByteSink& sink) {
        if (outcome.packet) {
            WriteDataPacket(table, rows, sink, progress);
        } else {
            WriteTextTable(table, rows, sink, progress);
        }
    });
    return outcome;
}

namespace {

constexpr std::size_t kReadBlock = std::size_t{1} << 20;

LoadOutcome TextFromFile(InputFile& file, RowReceiver& rows, const WalkProgress& progress,
                         const SegmentPlan& plan) {
    TextTableReader reader(rows, static_cast<std::size_t>(file.Size()), progress);
    const auto block = std::make_unique_for_overwrite<char[]>(kReadBlock);
    std::string error;
    std::uint64_t position = 0;
    // Half a packet's segments: a text's rows written as a packet take three
    // times their bytes, and the buffers of both must stay few and warm.
    SegmentPlan textPlan = plan;
    textPlan.bytes = std::max<std::size_t>(1, plan.bytes / 2);
    textPlan.slack = std::max<std::size_t>(1, plan.slack / 2);
    // Only rows bound for a file are read in segments, as the workers write
    // them too. Into a table, the table's own work on this thread is most
    // of it, and handing rows over would cost more than reading them here.
    const bool toFile = dynamic_cast<const RowWriter*>(&rows) != nullptr;
    if (toFile && WorthSegmenting(file.Size(), textPlan)) {
        // The header in order, the rows in segments, and from a segment
        // that held anything but rows on in order again.
        const auto head = file.ReadAt(0, block.get(), kMaxTextLineBytes + 2, error);
        const std::optional<std::size_t> begin =
            head ? TextRowsBegin(std::string_view(block.get(), *head)) : std::nullopt;
        if (begin) {
            const SegmentedOutcome segments =
                ReadSegments(file, *begin, TextSegments(), rows, textPlan, progress);
            if (!segments.resumeAt) {
                return {true, segments.rows, {}};
            }
            position = *segments.resumeAt;
            reader.ResumeAfter(1 + segments.rows, segments.rows,
                               static_cast<std::size_t>(position));
        }
    }
    for (;;) {
        const auto got = file.ReadAt(position, block.get(), kReadBlock, error);
        if (!got) {
            LoadOutcome outcome = reader.Finish();
            outcome.ok = false;
            outcome.error = error;
            return outcome;
        }
        position += *got;
        if (*got == 0 || !reader.Feed(std::string_view(block.get(), *got))) {
            return reader.Finish();
        }
    }
}

LoadOutcome RowsFromFile(const std::string& name, InputFile& file, RowReceiver& rows,
                         const WalkProgress& progress, const SegmentPlan& plan = {}) {
    if (!IsPacketFileName(name)) {
        return TextFromFile(file, rows, progress, plan);
    }
    return ReadDataPacket(file, rows, progress, plan);
}

// Runs a load; a resource failure (out of memory) ends it like any other,
// keeping the rows read before.
template <typename Load>
LoadOutcome Guarded(MeasurementTable& table, bool emptyFirst, const Load& load) {
    const std::size_t before = emptyFirst ? 0 : table.RowCount();
    try {
        if (emptyFirst) {
            table.Clear();
        }
        return load();
    } catch (const std::bad_alloc&) {
        return {false, table.RowCount() - before, "out of memory"};
    } catch (const std::exception& failure) {
        return {false, table.RowCount() - before, failure.what()};
    }
}

} // namespace

LoadOutcome LoadTable(const std::string& name, MeasurementTable& table, bool emptyFirst,
                      const WalkProgress& progress) {
    return Guarded(table, emptyFirst, [&]() -> LoadOutcome {
        std::string error;
        std::optional<InputFile> file = InputFile::Open(name, error);
        if (!file) {
            return {false, 0, error};
        }
        TableReceiver rows(table);
        return RowsFromFile(name, *file, rows, progress);
    });
}

LoadOutcome LoadRows(const std::string& name, RowReceiver& rows, const SegmentPlan& plan) {
    std::string error;
    std::optional<InputFile> file = InputFile::Open(name, error);
    if (!file) {
        return {false, 0, error};
    }
    return RowsFromFile(name, *file, rows, {}, plan);
}

LoadOutcome LoadTable(FileSystem& files, const std::string& name, MeasurementTable& table,
                      bool emptyFirst, const WalkProgress& progress) {
    return Guarded(table, emptyFirst, [&]() -> LoadOutcome {
        std::string error;
        const std::optional<std::string> bytes = files.ReadAll(name, error);
        if (!bytes) {
            return {false, 0, error};
        }
        return IsPacketFileName(name) ? ReadDataPacket(*bytes, table, progress)
                                      : ReadTextTable(*bytes, table, progress);
    });
}

} // namespace meterdesk::record
