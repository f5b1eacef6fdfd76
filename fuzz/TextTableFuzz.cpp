// Arbitrary bytes as a tab-separated table file. Whatever loads must save
// and load back to the same text, and a convert that keeps no table must
// write the same bytes as the table. Read from a file in segments on two
// threads, the text gives the outcome and the rows of the whole.
#include "record/DataFiles.h"
#include "record/TextTableFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

using namespace meterdesk::record;

namespace {

std::string Saved(const MeasurementTable& table) {
    StringSink sink;
    WriteTextTable(table, table.RowCount(), sink);
    return sink.text;
}

// The text as a file in memory, read in segments cut by its own bytes.
void CheckSegmented(std::string_view bytes, const LoadOutcome& whole, const std::string& saved) {
    const int fd = memfd_create("text", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    const auto first = static_cast<unsigned char>(bytes.front());
    const auto last = static_cast<unsigned char>(bytes.back());
    const SegmentPlan plan{16 + first % 200U, 8 + last % 300U, 2, 1 + first % 3U};
    // Segments are read for rows bound for a file: written on the workers.
    StringSink written;
    TextRowWriter writer(written, false);
    const LoadOutcome outcome = LoadRows("/proc/self/fd/" + std::to_string(fd), writer, plan);
    close(fd);
    writer.Finish();
    if (outcome.ok != whole.ok || outcome.rows != whole.rows || outcome.error != whole.error ||
        (outcome.ok && written.text != saved)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    MeasurementTable table;
    const LoadOutcome outcome = ReadTextTable(bytes, table);
    if (outcome.rows != table.RowCount()) {
        std::abort();
    }
    const std::string once = Saved(table);
    if (size > 0) {
        CheckSegmented(bytes, outcome, once);
    }
    if (outcome.ok) {
        StringSink streamed;
        TextRowWriter writer(streamed, false);
        TextTableReader reader(writer, bytes.size());
        reader.Feed(bytes);
        if (!reader.Finish().ok) {
            std::abort();
        }
        writer.Finish();
        if (streamed.text != once) {
            std::abort();
        }
    }
    MeasurementTable again;
    if (!ReadTextTable(once, again).ok || Saved(again) != once) {
        std::abort();
    }
    return 0;
}
