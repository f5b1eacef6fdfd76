#pragma once

#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"
#include "decode/DecodeHandOffs.h"
#include "decode/FrameBits.h"
#include "decode/PanelState.h"

#include <cstdint>
#include <span>

namespace meterdesk::decode {

// Turns one checked frame of the Heron family into the panel state, the
// reading texts, the reading number and the running peaks, and passes the
// results on through the hand-offs in their fixed order.
class DisplayDecoder {
public:
    DisplayDecoder(base::MeasurementState& state, PanelState& panel,
                   const base::ModelProfile& profile, base::LocaleSource& locale);

    // Decodes FrameText. A frame that has a character other than a decimal
    // digit where a number is read is skipped whole: nothing changes, no
    // hand-off runs, and false is returned.
    bool LcdDisplayHeron();

    // Frames decoded and skipped since start, for diagnostics.
    std::uint64_t DecodedFrames() const { return decodedFrames_; }
    std::uint64_t SkippedFrames() const { return skippedFrames_; }

    DecodeHandOffs handOffs;

private:
    bool IsDecodable(std::span<const char, 11> frame, const FrameBits& bits) const;

    base::MeasurementState& state_;
    PanelState& panel_;
    const base::ModelProfile& profile_;
    base::LocaleSource& locale_;
    std::uint64_t decodedFrames_ = 0;
    std::uint64_t skippedFrames_ = 0;
};

} // namespace meterdesk::decode
