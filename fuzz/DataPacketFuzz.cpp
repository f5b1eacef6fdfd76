// Arbitrary bytes as an XML data packet. A load either fails before the
// first row or adds rows; whatever loads must save and load back to the
// same packet, and a convert that keeps no table must write the same bytes
// as the table. Read a window at a time (as from a file), the document
// gives the scanner's events of the whole; read from a file in segments on
// two threads, it gives the outcome and the rows of the whole.
#include "record/DataPacket.h"
#include "record/InputFile.h"
#include "tests/support/XmlEvents.h"

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
    WriteDataPacket(table, table.RowCount(), sink);
    return sink.text;
}

// The document as a file in memory, read in segments cut by its own bytes.
void CheckSegmented(std::string_view bytes, const LoadOutcome& whole, const std::string& saved) {
    const int fd = memfd_create("packet", MFD_CLOEXEC);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    std::string error;
    std::optional<InputFile> file = InputFile::Open("/proc/self/fd/" + std::to_string(fd), error);
    close(fd);
    if (!file) {
        std::abort();
    }
    const auto first = static_cast<unsigned char>(bytes.front());
    const auto last = static_cast<unsigned char>(bytes.back());
    const SegmentPlan plan{16 + first % 200U, 8 + last % 300U, 2, 1 + first % 3U};
    MeasurementTable table;
    TableReceiver rows(table);
    const LoadOutcome outcome = ReadDataPacket(*file, rows, {}, plan);
    if (outcome.ok != whole.ok || outcome.rows != whole.rows || outcome.error != whole.error ||
        Saved(table) != saved) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size > 0) {
        const std::size_t step = 1 + data[0] % 64;
        if (meterdesk::testing::InWindows(bytes, step) != meterdesk::testing::Whole(bytes)) {
            std::abort();
        }
        // A scanner that keeps only rows' attributes judges every tag alike.
        const std::vector<std::string> kept = {"ROW"};
        if (meterdesk::testing::InWindows(bytes, step, kept) !=
            meterdesk::testing::KeptOnly(meterdesk::testing::Whole(bytes), kept)) {
            std::abort();
        }
    }
    MeasurementTable table;
    const LoadOutcome outcome = ReadDataPacket(bytes, table);
    if (outcome.rows != table.RowCount()) {
        std::abort();
    }
    const std::string once = Saved(table);
    if (size > 0) {
        CheckSegmented(bytes, outcome, once);
    }
    if (outcome.ok) {
        StringSink streamed;
        PacketRowWriter writer(streamed, outcome.rows, false);
        if (!ReadDataPacket(bytes, writer).ok) {
            std::abort();
        }
        writer.Finish();
        if (streamed.text != once) {
            std::abort();
        }
    }
    MeasurementTable again;
    if (!ReadDataPacket(once, again).ok || Saved(again) != once) {
        std::abort();
    }
    return 0;
}
