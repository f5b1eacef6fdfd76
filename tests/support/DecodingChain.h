#pragma once

#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "decode/DisplayDecoder.h"
#include "decode/FrameAssembler.h"
#include "decode/PanelState.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace meterdesk::testing {

// The decoding path as the window wires it: shared state, panel state, a
// fixed locale, the decoder and the assembler in front of it.
struct DecodingChain {
    explicit DecodingChain(base::ModelProfile modelProfile = base::kBuildProfile,
                           std::string decimalSeparator = ".")
        : profile(modelProfile), locale(base::NumberFormat{std::move(decimalSeparator), ","}) {}

    void FeedSerial(const std::vector<std::uint8_t>& bytes) {
        assembler.HHeronRData(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    }
    void FeedReport(const std::vector<std::uint8_t>& report, std::uint8_t reportId = 0) {
        assembler.HidHeronRData(reportId, report.data(), static_cast<std::uint16_t>(report.size()));
    }
    bool DecodeText(const std::string& frameText) {
        state.FrameText = frameText;
        return decoder.LcdDisplayHeron();
    }

    base::ModelProfile profile;
    base::FixedLocale locale;
    base::MeasurementState state;
    decode::PanelState panel;
    decode::DisplayDecoder decoder{state, panel, profile, locale};
    decode::FrameAssembler assembler{state, decoder};
};

} // namespace meterdesk::testing
