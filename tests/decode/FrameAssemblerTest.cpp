// Scope: collecting serial bytes and bridge reports into checked frames, the
// report history, and the bounds on frames that never end.
#include "tests/support/DecodingChain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::decode {
namespace {

using testing::DecodingChain;

// Nine data bytes of "-12.34 V DC AUTO" with 0x3 in their high nibbles.
const std::vector<std::uint8_t> kData{0x31, 0x31, 0x32, 0x33, 0x34, 0x3B, 0x34, 0x30, 0x3A};

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct CountingChain : DecodingChain {
    CountingChain() {
        decoder.handOffs.FrameSeen = [this] { ++decodes; };
        assembler.sink.HistoryLine = [this](const std::string& line) { history.push_back(line); };
        assembler.sink.UsbText = [this](const std::string& text) { usbText = text; };
    }
    int decodes = 0;
    std::vector<std::string> history;
    std::string usbText;
};

TEST(SerialAssembly, FrameInOneChunkOrByteByByteDecodesOnce) {
    const auto bytes = Concat({{0x0A}, kData, {0x0D}});
    CountingChain whole;
    whole.FeedSerial(bytes);
    CountingChain split;
    for (std::uint8_t b : bytes) {
        split.FeedSerial({b});
    }
    for (CountingChain* chain : {&whole, &split}) {
        EXPECT_EQ(chain->decodes, 1);
        EXPECT_EQ(chain->state.FrameText, "A11234B40AD");
        EXPECT_EQ(chain->state.ReadingValue, "-12.34");
        EXPECT_TRUE(chain->state.RxHex.empty());
    }
}

TEST(SerialAssembly, FramesThatFailTheCheckAreStoredButNotDecoded) {
    CountingChain chain;
    chain.FeedSerial(Concat({kData, {0x0D}})); // no leading line feed
    EXPECT_EQ(chain.state.FrameText, "11234B40AD");
    chain.FeedSerial(Concat({{0x0A}, kData, {0x35, 0x0D}})); // ten data bytes
    EXPECT_EQ(chain.state.FrameText, "A11234B40A5D");
    EXPECT_EQ(chain.decodes, 0);
    // Ten data bytes whose eleventh digit happens to be "D" pass.
    chain.FeedSerial(Concat({{0x0A}, kData, {0x3D, 0x0D}}));
    EXPECT_EQ(chain.decodes, 1);
}

TEST(SerialAssembly, OnlyCarriageReturnEndsAFrame) {
    CountingChain chain;
    // 0x3D has the low digit "D" in a data position but is data, not an end.
    auto data = kData;
    data[3] = 0x3D;
    chain.FeedSerial(Concat({{0x0A}, data}));
    EXPECT_EQ(chain.state.RxHex, "A112D4B40A");
    chain.FeedSerial({0x0D});
    EXPECT_EQ(chain.state.FrameText, "A112D4B40AD");
}

TEST(SerialAssembly, StreamOfFramesDecodesEachAfterTheFirstLineFeed) {
    CountingChain chain;
    const auto frame = Concat({kData, {0x0D, 0x0A}});
    chain.FeedSerial(Concat({frame, frame, frame})); // the first starts without its line feed
    EXPECT_EQ(chain.decodes, 2);
    EXPECT_EQ(chain.state.RxHex, "A");
}

TEST(SerialAssembly, PipitFrameEndsAtAnyE0ToEFByte) {
    CountingChain chain;
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t high = 1; high <= 0xE; ++high) {
        bytes.push_back(static_cast<std::uint8_t>(high << 4U | high));
    }
    chain.assembler.HPipitRData(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(chain.state.FrameText, "123456789ABCDE");
    EXPECT_TRUE(chain.state.RxHex.empty());
    EXPECT_EQ(chain.decodes, 0);
}

TEST(SerialAssembly, LineWithoutFrameEndIsBoundedAndFailsItsCheck) {
    CountingChain chain;
    // Starts like a frame whose eleventh digit is "D", so only the bound
    // keeps it from passing the check.
    auto bytes = Concat({{0x0A}, kData, {0x3D}});
    bytes.resize(FrameAssembler::kMaxFrameDigits * 3, 0x31);
    chain.FeedSerial(bytes);
    EXPECT_EQ(chain.state.RxHex.size(), FrameAssembler::kMaxFrameDigits);
    chain.FeedSerial({0x0D});
    EXPECT_EQ(chain.decodes, 0);
    chain.FeedSerial(Concat({{0x0A}, kData, {0x0D}}));
    EXPECT_EQ(chain.decodes, 1);
}

std::vector<std::uint8_t> Report(std::uint8_t count, std::vector<std::uint8_t> payload) {
    payload.insert(payload.begin(), count);
    payload.resize(8, 0);
    return payload;
}

TEST(HidAssembly, ThreeDataReportsThenIdleDecodeOneFrame) {
    CountingChain chain;
    const auto line = Concat({kData, {0x0D, 0x0A}});
    chain.FeedReport(Report(0xF4, {line.begin(), line.begin() + 4}));
    chain.FeedReport(Report(0xF4, {line.begin() + 4, line.begin() + 8}));
    chain.FeedReport(Report(0xF3, {line.begin() + 8, line.end()}), 0x05);
    EXPECT_EQ(chain.decodes, 0);
    EXPECT_TRUE(chain.state.HidFrameOpen);
    chain.FeedReport(Report(0xF0, {}));

    EXPECT_EQ(chain.decodes, 1);
    EXPECT_EQ(chain.state.FrameText, "A11234B40AD");
    EXPECT_EQ(chain.usbText, "A11234B40AD");
    EXPECT_EQ(chain.state.HidIdleReports, 1);
    EXPECT_FALSE(chain.state.HidFrameOpen);
    EXPECT_TRUE(chain.state.HidHex.empty());
    ASSERT_EQ(chain.history.size(), 3U);
    EXPECT_EQ(chain.history[0], "R 00  F4 31 31 32 33 00 00 00 ");
    EXPECT_EQ(chain.history[2], "R 05  F3 3A 0D 0A 00 00 00 00 ");
}

TEST(HidAssembly, IdleReportWithoutOpenFrameOnlyCounts) {
    CountingChain chain;
    chain.FeedReport(Report(0x00, {}));
    chain.FeedReport(Report(0xF0, {}));
    EXPECT_EQ(chain.state.HidIdleReports, 2);
    EXPECT_TRUE(chain.usbText.empty());
    chain.FeedReport({}); // no bytes at all: not counted, and no data either
    EXPECT_EQ(chain.state.HidIdleReports, 2);
    EXPECT_EQ(chain.decodes, 0);
}

TEST(HidAssembly, CountTenOrMoreFinishesAnOpenFrame) {
    CountingChain chain;
    const auto line = Concat({kData, {0x0D, 0x0A}});
    chain.FeedReport(Report(0xF7, {line.begin(), line.begin() + 7}));
    chain.FeedReport(Report(0xF4, {line.begin() + 7, line.end()}));
    chain.FeedReport(Report(0xFA, {1, 2, 3}));
    EXPECT_EQ(chain.decodes, 1);
    EXPECT_EQ(chain.state.HidIdleReports, 1);
}

TEST(HidAssembly, CountBeyondBytesPresentTakesOnlyThosePresent) {
    CountingChain chain;
    chain.FeedReport({0xF9, 0x31, 0x32}); // claims nine, carries two
    EXPECT_EQ(chain.state.HidHex, "3132");
    EXPECT_EQ(chain.history.back(), "R 00  F9 31 32 ");
    chain.FeedReport({0xF0});
    EXPECT_EQ(chain.state.FrameText, "12"); // too short: stored, shown, not decoded
    EXPECT_EQ(chain.usbText, "12");
    EXPECT_EQ(chain.decodes, 0);
}

TEST(HidAssembly, BytesAfterTheEleventhAreDropped) {
    CountingChain chain;
    const auto line = Concat({kData, {0x0D, 0x0A}, {0x33, 0x34}});
    chain.FeedReport(Report(0xF7, {line.begin(), line.begin() + 7}));
    chain.FeedReport(Report(0xF6, {line.begin() + 7, line.end()}));
    chain.FeedReport(Report(0xF0, {}));
    EXPECT_EQ(chain.state.FrameText, "A11234B40AD");
    EXPECT_EQ(chain.decodes, 1);
}

TEST(HidAssembly, PipitFrameKeepsFourteenDigitsUndecoded) {
    CountingChain chain;
    const std::vector<std::uint8_t> r1{0xF7, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    const std::vector<std::uint8_t> r2{0xF7, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    const std::vector<std::uint8_t> r3{0xF1, 0xFF};
    for (const auto* r : {&r1, &r2, &r3}) {
        chain.assembler.HidPipitRData(0, r->data(), static_cast<std::uint16_t>(r->size()));
    }
    chain.assembler.HidPipitRData(0, nullptr, 0);
    EXPECT_EQ(chain.state.FrameText, "123456789ABCDE");
    EXPECT_EQ(chain.usbText, "123456789ABCDE");
    EXPECT_EQ(chain.decodes, 0);
}

TEST(HidAssembly, EndlessDataReportsAreBoundedAndFailTheirCheck) {
    CountingChain chain;
    const auto line = Concat({kData, {0x0D, 0x0A}});
    chain.FeedReport(Report(0xF7, {line.begin(), line.begin() + 7}));
    chain.FeedReport(Report(0xF4, {line.begin() + 7, line.end()}));
    for (int i = 0; i < 2000; ++i) {
        chain.FeedReport(Report(0xF7, {1, 2, 3, 4, 5, 6, 7}));
    }
    EXPECT_EQ(chain.state.HidHex.size(), FrameAssembler::kMaxFrameDigits);
    chain.FeedReport(Report(0xF0, {}));
    EXPECT_EQ(chain.decodes, 0);
    EXPECT_TRUE(chain.state.HidHex.empty());
}

} // namespace
} // namespace meterdesk::decode
