// Arbitrary bytes as an XML data packet. A load either fails before the
// first row or adds rows; whatever loads must save and load back to the
// same packet, and a convert that keeps no table must write the same bytes
// as the table. Read a window at a time (as from a file), the document
// gives the scanner's events of the whole.
#include "record/DataPacket.h"
#include "tests/support/XmlEvents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace meterdesk::record;

namespace {

std::string Saved(const MeasurementTable& table) {
    StringSink sink;
    WriteDataPacket(table, table.RowCount(), sink);
    return sink.text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size > 0) {
        const std::size_t step = 1 + data[0] % 64;
        if (meterdesk::testing::InWindows(bytes, step) != meterdesk::testing::Whole(bytes)) {
            std::abort();
        }
    }
    MeasurementTable table;
    const LoadOutcome outcome = ReadDataPacket(bytes, table);
    if (outcome.rows != table.RowCount()) {
        std::abort();
    }
    const std::string once = Saved(table);
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
