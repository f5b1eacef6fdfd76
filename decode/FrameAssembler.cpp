#include "decode/FrameAssembler.h"

#include <algorithm>
#include <cstring>

namespace meterdesk::decode {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& text, std::uint8_t byte) {
    text += kHexDigits[byte >> 4U];
    text += kHexDigits[byte & 0x0FU];
}

bool PassesCheck(const std::string& frameText) {
    return frameText.size() >= 11 && frameText[0] == 'A' && frameText[10] == 'D';
}

} // namespace

FrameAssembler::FrameAssembler(base::MeasurementState& state, DisplayDecoder& decoder)
    : state_(state), decoder_(decoder) {}

void FrameAssembler::AppendRxDigit(std::uint8_t byte) {
    if (state_.RxHex.size() >= kMaxFrameDigits) {
        rxOverflow_ = true;
        return;
    }
    state_.RxHex += kHexDigits[byte & 0x0FU];
}

void FrameAssembler::ClearRx() {
    state_.RxHex.clear();
    rxOverflow_ = false;
}

void FrameAssembler::ClearHid() {
    state_.HidHex.clear();
    hidOverflow_ = false;
}

void FrameAssembler::DropFramesInProgress() {
    ClearRx();
    ClearHid();
    state_.HidFrameOpen = false;
}

void FrameAssembler::AppendRxDigits(const std::uint8_t* from, const std::uint8_t* to) {
    std::string& rx = state_.RxHex;
    const std::size_t room = kMaxFrameDigits - std::min(rx.size(), kMaxFrameDigits);
    const auto wanted = static_cast<std::size_t>(to - from);
    const std::size_t taken = std::min(wanted, room);
    rxOverflow_ = rxOverflow_ || taken < wanted;
    const std::size_t at = rx.size();
    rx.resize(at + taken);
    for (std::size_t i = 0; i < taken; ++i) {
        rx[at + i] = kHexDigits[from[i] & 0x0FU];
    }
}

void FrameAssembler::HHeronRData(const std::uint8_t* DataPtr, std::uint32_t DataSize) {
    // Frame by frame: the bytes up to each 0x0D join RxHex at once.
    const std::uint8_t* at = DataPtr;
    const std::uint8_t* const end = DataPtr + DataSize;
    while (at != end) {
        const auto* frameEnd = static_cast<const std::uint8_t*>(
            std::memchr(at, 0x0D, static_cast<std::size_t>(end - at)));
        if (frameEnd == nullptr) {
            AppendRxDigits(at, end);
            return;
        }
        const std::uint8_t* const frameBegin = at;
        at = frameEnd + 1;
        bool checked = false;
        if (state_.RxHex.empty() &&
            at - frameBegin <= static_cast<std::ptrdiff_t>(kMaxFrameDigits)) {
            // The whole frame is in this delivery: its digits go straight to
            // FrameText, as if through RxHex.
            std::string& frame = state_.FrameText;
            const auto size = static_cast<std::size_t>(at - frameBegin);
            if (frame.size() != size) {
                frame.resize(size);
            }
            for (std::size_t i = 0; i < size; ++i) {
                frame[i] = kHexDigits[frameBegin[i] & 0x0FU];
            }
            checked = PassesCheck(frame);
        } else {
            AppendRxDigits(frameBegin, at);
            state_.FrameText = state_.RxHex;
            checked = !rxOverflow_ && PassesCheck(state_.FrameText);
            ClearRx(); // before decoding: the next frame starts clean whatever happens
        }
        if (checked) {
            decoder_.LcdDisplayHeron();
        }
    }
}

void FrameAssembler::HPipitRData(const std::uint8_t* DataPtr, std::uint32_t DataSize) {
    for (std::uint32_t i = 0; i < DataSize; ++i) {
        const std::uint8_t byte = DataPtr[i];
        AppendRxDigit(byte);
        if ((byte & 0xF0U) == 0xE0U) {
            state_.FrameText = state_.RxHex;
            ClearRx();
        }
    }
}

bool FrameAssembler::TakeReport(std::uint8_t reportId, const std::uint8_t* data,
                                std::uint16_t size) {
    // The count's low digit is character 8 of the report line; the line has
    // one only when the report carries at least one byte.
    if (size >= 1) {
        ++state_.HidIdleReports;
    }
    const unsigned count = size >= 1 ? (data[0] & 0x0FU) : 0U;
    if (count >= 1 && count <= 9) {
        state_.HidIdleReports = 0;
        state_.HidFrameOpen = true;
        for (unsigned k = 1; k <= count && k < size; ++k) {
            if (state_.HidHex.size() + 2 > kMaxFrameDigits) {
                hidOverflow_ = true;
                break;
            }
            AppendHexByte(state_.HidHex, data[k]);
        }
        if (sink.HistoryLine) {
            // "R %.2X  " followed by "%.2X " for every byte of the report.
            reportLine_.assign("R ");
            AppendHexByte(reportLine_, reportId);
            reportLine_ += "  ";
            for (std::uint16_t i = 0; i < size; ++i) {
                AppendHexByte(reportLine_, data[i]);
                reportLine_ += ' ';
            }
            sink.HistoryLine(reportLine_);
        }
        return false;
    }
    const bool finishes = state_.HidFrameOpen;
    state_.HidFrameOpen = false;
    return finishes;
}

std::string FrameAssembler::HidLowDigits(std::size_t count) const {
    std::string digits;
    for (std::size_t i = 1; i < state_.HidHex.size() && digits.size() < count; i += 2) {
        digits += state_.HidHex[i];
    }
    return digits;
}

void FrameAssembler::HidHeronRData(std::uint8_t ReportID, const std::uint8_t* Data,
                                   std::uint16_t Size) {
    if (!TakeReport(ReportID, Data, Size)) {
        return;
    }
    // The bridge frame starts with the first data byte and ends with CR LF:
    // moving the eleventh digit (the line feed) to the front gives the same
    // form as the serial path.
    const std::string lowDigits = HidLowDigits(11);
    state_.FrameText.clear();
    if (lowDigits.size() >= 11) {
        state_.FrameText += lowDigits[10];
    }
    state_.FrameText.append(lowDigits, 0, 10);
    const bool checked = !hidOverflow_ && PassesCheck(state_.FrameText);
    ClearHid();
    if (sink.UsbText) {
        sink.UsbText(state_.FrameText);
    }
    if (checked) {
        decoder_.LcdDisplayHeron();
    }
}

void FrameAssembler::HidPipitRData(std::uint8_t ReportID, const std::uint8_t* Data,
                                   std::uint16_t Size) {
    if (!TakeReport(ReportID, Data, Size)) {
        return;
    }
    state_.FrameText = HidLowDigits(14);
    ClearHid();
    if (sink.UsbText) {
        sink.UsbText(state_.FrameText);
    }
}

} // namespace meterdesk::decode
