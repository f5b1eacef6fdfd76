// Arbitrary bytes as the texts of a logged row, and as a broker address.
// The row's JSON line must stay one line of valid UTF-8 with every control
// character escaped; an address taken must be one a client can use.
#include "record/MqttPublisher.h"
#include "record/RowJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace meterdesk;

namespace {

bool ValidUtf8WithoutControls(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
        const std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        if ((byte >= 0x80 && byte < 0xC2) || byte > 0xF4 || i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> fields(5);
    std::size_t field = 0;
    for (const char c : bytes) {
        if (c == '\t' && field + 1 < fields.size()) {
            ++field;
        } else {
            fields[field] += c;
        }
    }
    const record::TableRow row{
        static_cast<std::int32_t>(size), fields[0], fields[1], fields[2], fields[3], fields[4]};
    const base::NumberFormat format{size % 2 == 0 ? "." : ",", ""};
    const std::string json = record::RowJson(row, {}, format);
    if (!json.starts_with("{\"no\":") || !json.ends_with("}") || !ValidUtf8WithoutControls(json)) {
        std::abort();
    }
    std::string error;
    if (const auto address = record::ParseMqttAddress(bytes, error)) {
        if (address->host.empty() || address->topic.empty() || address->port < 1 ||
            address->port > 65535 || address->topic.find_first_of("+#") != std::string::npos) {
            std::abort();
        }
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
