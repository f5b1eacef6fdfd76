#pragma once

#include "record/MeasurementTable.h"
#include "record/RowReceiver.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace meterdesk::record {

class InputFile;

// How a file's rows are split for reading on several threads.
// Small segments keep the buffers few and warm: every page a read touches
// for the first time costs more than copying it.
struct SegmentPlan {
    std::size_t bytes = std::size_t{256} << 10; // a segment's nominal length
    std::size_t slack = std::size_t{32} << 10;  // read beyond it, to find where it ends
    unsigned threads = 0;                       // 0: one per processor, at most 4
    std::size_t ahead = 4;                      // segments read but not yet handed on
};

// What the rows of a file look like to the segmented read.
class SegmentFormat {
public:
    virtual ~SegmentFormat() = default;
    // The first place in bytes[from..) where a row can begin, if it is
    // there. Depends only on the bytes, so that every thread finds the same.
    virtual std::optional<std::size_t> FindRowStart(std::string_view bytes,
                                                    std::size_t from) const = 0;
    // Reads the rows of a segment that begins at a row boundary at
    // `offset` in the file and ends at the next one, or with the file when
    // `last`. false: the segment holds anything but plain rows (a fault, an
    // element, a row cut off), and it is read again in order.
    virtual bool ReadSegment(std::string_view bytes, std::uint64_t offset, bool last,
                             RowReceiver& rows) const = 0;
};

// What a segmented read reached: the rows it handed on and, when a segment
// was not plain rows, where in the file the reading in order goes on.
struct SegmentedOutcome {
    std::size_t rows = 0;
    std::optional<std::uint64_t> resumeAt;
};

// Reads the rows from `begin` to the end of the file on worker threads, a
// segment each, and hands them to `rows` on the calling thread in file
// order. A segment must start where the one before it ended, so a split
// that guessed wrong (a row start inside a comment) is found, and the
// caller reads on in order from there; so does it after a fault, which the
// reading in order then reports in full.
SegmentedOutcome ReadSegments(InputFile& file, std::uint64_t begin, const SegmentFormat& format,
                              RowReceiver& rows, const SegmentPlan& plan,
                              const WalkProgress& progress);

// Whether a file is worth splitting: at least two segments and two
// threads.
bool WorthSegmenting(std::uint64_t bytes, const SegmentPlan& plan);

} // namespace meterdesk::record
