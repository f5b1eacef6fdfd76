#include "link/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace meterdesk::link {

namespace {

// Item types and tags of the short items that matter here.
enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };
enum MainTag : std::uint8_t { kInput = 0x8, kOutput = 0x9, kCollection = 0xA, kFeature = 0xB };
enum GlobalTag : std::uint8_t {
    kUsagePage = 0x0,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};
enum LocalTag : std::uint8_t { kUsage = 0x0 };
constexpr std::uint8_t kLongItem = 0xFE;

struct Globals {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

std::uint16_t ClampBytes(std::uint64_t bits) {
    const std::uint64_t bytes = (bits + 7) / 8 + 1; // the ID byte
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
}

} // namespace

HidReportLayout ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    HidReportLayout layout;
    Globals globals;
    std::vector<Globals> stack;
    std::uint32_t lastUsage = 0;
    bool topCollectionSeen = false;
    // Bits per report ID for input, output and feature reports.
    std::array<std::map<std::uint8_t, std::uint64_t>, 3> bits;

    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == kLongItem) {
            if (at + 1 >= descriptor.size()) {
                break;
            }
            at += 3 + std::size_t{descriptor[at + 1]};
            continue;
        }
        const std::size_t size = (prefix & 0x3U) == 3 ? 4 : (prefix & 0x3U);
        if (at + 1 + size > descriptor.size()) {
            break;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= std::uint32_t{descriptor[at + 1 + i]} << (8 * i);
        }
        const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3U);
        const auto tag = static_cast<std::uint8_t>(prefix >> 4);
        at += 1 + size;

        if (type == kGlobal) {
            switch (tag) {
            case kUsagePage:
                globals.usagePage = value;
                break;
            case kReportSize:
                globals.reportSize = value;
                break;
            case kReportCount:
                globals.reportCount = value;
                break;
            case kReportId:
                globals.reportId = static_cast<std::uint8_t>(value);
                layout.numbered = true;
                break;
            case kPush:
                stack.push_back(globals);
                break;
            case kPop:
                if (!stack.empty()) {
                    globals = stack.back();
                    stack.pop_back();
                }
                break;
            default:
                break;
            }
        } else if (type == kLocal && tag == kUsage) {
            lastUsage = value;
        } else if (type == kMain) {
            const std::uint64_t fieldBits =
                std::uint64_t{globals.reportSize} * std::uint64_t{globals.reportCount};
            switch (tag) {
            case kInput:
                bits[0][globals.reportId] += fieldBits;
                break;
            case kOutput:
                bits[1][globals.reportId] += fieldBits;
                break;
            case kFeature:
                bits[2][globals.reportId] += fieldBits;
                break;
            case kCollection:
                // The first collection names what the device is.
                if (!topCollectionSeen) {
                    topCollectionSeen = true;
                    // A four-byte usage carries its own page in the high half.
                    layout.caps.UsagePage = static_cast<std::uint16_t>(
                        lastUsage > 0xFFFF ? lastUsage >> 16 : globals.usagePage);
                    layout.caps.Usage = static_cast<std::uint16_t>(lastUsage & 0xFFFFU);
                }
                break;
            default:
                break;
            }
            lastUsage = 0; // local items last until the next main item
        }
    }

    const auto longest = [](const std::map<std::uint8_t, std::uint64_t>& reports) {
        std::uint64_t most = 0;
        for (const auto& [id, count] : reports) {
            most = std::max(most, count);
        }
        return reports.empty() ? std::uint16_t{0} : ClampBytes(most);
    };
    layout.caps.InputReportByteLength = longest(bits[0]);
    layout.caps.OutputReportByteLength = longest(bits[1]);
    layout.caps.FeatureReportByteLength = longest(bits[2]);
    return layout;
}

} // namespace meterdesk::link
