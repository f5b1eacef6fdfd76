// Scope: a logged row as a JSON line: decoded frames (plain, overload,
// symbol units) in the user's number format, the time, and texts that JSON
// must escape.
#include "record/RowJson.h"

#include "tests/support/DecodingChain.h"

#include <gtest/gtest.h>

namespace meterdesk::record {
namespace {

using Clock = std::chrono::system_clock;

// 2026-12-09T10:00:00.123Z
const Clock::time_point kArrival =
    Clock::time_point(std::chrono::seconds(1796810400)) + std::chrono::milliseconds(123);

// The row the log makes of a frame decoded in a locale with this separator.
std::string JsonOfFrame(const std::string& frameText, const std::string& separator = ".") {
    testing::DecodingChain chain(base::kBuildProfile, separator);
    EXPECT_TRUE(chain.DecodeText(frameText)) << frameText;
    const base::MeasurementState& state = chain.state;
    const TableRow row{1,
                       "10:00:00",
                       state.ReadingCoupling,
                       state.ReadingValue,
                       state.ReadingUnit,
                       state.ReadingRange};
    return RowJson(row, kArrival, state.LocaleFormat);
}

TEST(RowJson, DecodedFramesInTheIssuedForm) {
    EXPECT_EQ(JsonOfFrame("A11234B40AD"),
              R"({"no":1,"time":"2026-12-09T10:00:00.123Z","text":"-12.34","value":-12.34,)"
              R"("unit":"V","unit_text":"V","coupling":"DC","range":"AUTO"})");
    // Overload: the text as logged, no number; the ohm sign as Unicode.
    EXPECT_EQ(JsonOfFrame("A200003102D"),
              R"({"no":1,"time":"2026-12-09T10:00:00.123Z","text":"0.L","value":null,)"
              "\"unit\":\"k\u03A9\",\"unit_text\":\"k*\",\"coupling\":\"\",\"range\":\"AUTO\"}");
}

TEST(RowJson, TheUsersDecimalSeparatorIsUnderstood) {
    const std::string comma = JsonOfFrame("A11234B40AD", ",");
    EXPECT_NE(comma.find(R"("text":"-12,34","value":-12.34,)"), std::string::npos) << comma;
    // A comma where the user writes a full stop is no number.
    const TableRow row{2, "", "", "-12,34", "", ""};
    EXPECT_NE(RowJson(row, kArrival, {".", ","}).find(R"("value":null)"), std::string::npos);
}

TEST(RowJson, UnitsWithSymbolsReadAsTheirSigns) {
    const auto unitOf = [](const std::string& unitText) {
        const std::string json = RowJson({1, "", "", "1", unitText, ""}, kArrival, {});
        const std::size_t at = json.find("\"unit\":\"") + 8;
        return json.substr(at, json.find('"', at) - at);
    };
    EXPECT_EQ(unitOf("uA"), "\u00B5A");
    EXPECT_EQ(unitOf("uF"), "\u00B5F");
    EXPECT_EQ(unitOf("M*"), "M\u03A9");
    EXPECT_EQ(unitOf("#"), "\u00B0C");
    EXPECT_EQ(unitOf("?"), "\u00B0F");
    EXPECT_EQ(unitOf("mV"), "mV");
    EXPECT_EQ(unitOf("u"), "u");
    // The micro-ampere frame itself.
    EXPECT_NE(JsonOfFrame("A00123D00AD").find("\"unit\":\"\u00B5A\",\"unit_text\":\"uA\""),
              std::string::npos);
}

TEST(RowJson, TextsAreEscapedIntoValidJson) {
    // A lead byte above F4 starts no sequence, even before continuation bytes.
    const TableRow row{7,
                       "",
                       "\"A\\",
                       std::string("a\x01\tb"),
                       std::string("\xFF\xC2", 2),
                       std::string("\xFF\xBD\x97", 3)};
    const std::string json = RowJson(row, kArrival, {});
    EXPECT_NE(json.find(R"("coupling":"\"A\\")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("text":"a\u0001\u0009b")"), std::string::npos) << json;
    EXPECT_NE(json.find("\"unit_text\":\"\uFFFD\uFFFD\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"range\":\"\uFFFD\uFFFD\uFFFD\""), std::string::npos) << json;
    TableRow unnumbered = row;
    unnumbered.HasNo = false;
    EXPECT_EQ(RowJson(unnumbered, kArrival, {}).rfind("{\"no\":null,", 0), 0U);
}

TEST(RowJson, TimeIsUtcWithMilliseconds) {
    EXPECT_EQ(UtcTimeText(Clock::time_point{}), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(UtcTimeText(kArrival + std::chrono::milliseconds(877)), "2026-12-09T10:00:01.000Z");
}

} // namespace
} // namespace meterdesk::record
