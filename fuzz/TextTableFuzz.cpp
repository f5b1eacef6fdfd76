// Arbitrary bytes as a tab-separated table file. Whatever loads must save
// and load back to the same text, and a convert that keeps no table must
// write the same bytes as the table.
#include "record/TextTableFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace meterdesk::record;

namespace {

std::string Saved(const MeasurementTable& table) {
    StringSink sink;
    WriteTextTable(table, table.RowCount(), sink);
    return sink.text;
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
