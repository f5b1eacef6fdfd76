// Arbitrary bytes into the serial and the bridge assembly paths, with
// decoding behind both. The first byte picks the model variant so that every
// decoding branch is reachable.
#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "decode/DisplayDecoder.h"
#include "decode/FrameAssembler.h"
#include "decode/FrameBits.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace meterdesk;

namespace {

void CheckInvariants(const base::MeasurementState& state) {
    if (state.RxHex.size() > decode::FrameAssembler::kMaxFrameDigits ||
        state.HidHex.size() > decode::FrameAssembler::kMaxFrameDigits) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t variant = data[0];
    const base::ModelProfile profile{.IFHeron = (variant & 1U) != 0,
                                     .IFFinch = (variant & 2U) != 0,
                                     .IFOsprey = (variant & 4U) != 0,
                                     .IFLark = (variant & 8U) != 0};
    base::MeasurementState state;
    decode::PanelState panel;
    base::FixedLocale locale(base::NumberFormat{(variant & 16U) != 0 ? "," : ".", ""});
    decode::DisplayDecoder decoder(state, panel, profile, locale);
    decode::FrameAssembler assembler(state, decoder);
    assembler.sink.HistoryLine = [](const std::string& line) {
        if (line.size() < 6) {
            std::abort();
        }
    };

    ++data;
    --size;
    // Serial: the whole input in one go, then the same bytes again as if the
    // bridge carried them, cut into reports by their own count bytes.
    assembler.HHeronRData(data, static_cast<std::uint32_t>(size));
    assembler.HPipitRData(data, static_cast<std::uint32_t>(size));
    CheckInvariants(state);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t reportSize = std::min<std::size_t>(size - at, 1U + (data[at] & 0x0FU));
        if ((variant & 32U) != 0) {
            assembler.HidPipitRData(0, data + at, static_cast<std::uint16_t>(reportSize));
        } else {
            assembler.HidHeronRData(0, data + at, static_cast<std::uint16_t>(reportSize));
        }
        at += reportSize;
    }
    assembler.HidHeronRData(0, nullptr, 0);
    CheckInvariants(state);
    return 0;
}
