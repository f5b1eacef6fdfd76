// Scope: the start-up sequence for each profile combination: what it writes
// into the shared state and what it asks of the window, and in which order.
#include "app/StartUp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace meterdesk::app {
namespace {

using ::testing::ElementsAre;

struct RecordingWindow final : StartUpWindow {
    void SetCaption(const std::string& c) override { caption = c; }
    void SetSerialSpeed(std::int32_t b) override { baud = b; }
    void BindReceiveHandler(base::ReceiveHandler h) override { handler = h; }
    void SetFirstDigitCaption(const std::string& c) override { firstDigit = c; }
    void WriteCountClassTexts(const base::CountClassRow& row) override {
        texts = {std::string(row.SetmaxText), std::string(row.SetMinText),
                 std::string(row.MinTextText), std::string(row.MaxTextText)};
    }
    std::string caption = "unset";
    std::int32_t baud = 0;
    base::ReceiveHandler handler = base::ReceiveHandler::None;
    std::string firstDigit;
    std::vector<std::string> texts;
};

struct StartUpRun {
    explicit StartUpRun(base::ModelProfile profile) {
        hooks.CreatePager = [this] { order.push_back("CreatePager"); };
        hooks.CreateTable = [this] { order.push_back("CreateTable"); };
        hooks.InitAxis = [this] { order.push_back("InitAxis " + std::to_string(state.FullScale)); };
        hooks.InitScale = [this] { order.push_back("InitScale " + state.CountClass); };
        state.PrevUnit = "kV";
        state.NextRecordNo = 77;
        FormCreate(state, locale, profile, window, hooks);
    }
    base::MeasurementState state;
    base::FixedLocale locale{base::NumberFormat{",", "."}};
    RecordingWindow window;
    StartUpHooks hooks;
    std::vector<std::string> order;
};

TEST(StartUp, OspreyOnly) {
    StartUpRun run({.IFOsprey = true});
    EXPECT_EQ(run.window.caption, "Osprey Interface Program Ver: 3.10");
    EXPECT_EQ(run.window.baud, 19200);
    EXPECT_EQ(run.window.handler, base::ReceiveHandler::HHeronRData);
    EXPECT_EQ(run.window.firstDigit, "5");
    EXPECT_TRUE(run.window.texts.empty()); // the window definition holds the "4" texts
    EXPECT_EQ(run.state.FullScale, 4000);
    EXPECT_EQ(run.state.AlarmHigh, 4002.0F);
    EXPECT_EQ(run.state.PeakMax, -4001.0F);
    EXPECT_EQ(run.state.PrevUnit, "113");
    EXPECT_EQ(run.state.NextRecordNo, 1);
    EXPECT_EQ(run.state.RecordLimit, 10000);
    EXPECT_EQ(run.state.DecimalSep, ",");
    EXPECT_THAT(run.order,
                ElementsAre("CreatePager", "CreateTable", "InitAxis 4000", "InitScale 4"));
}

TEST(StartUp, WrenThenOspreyKeepsWrensFirstDigit) {
    StartUpRun run({.IFWren = true, .IFOsprey = true});
    EXPECT_EQ(run.window.handler, base::ReceiveHandler::HHeronRData);
    EXPECT_EQ(run.window.caption, "Osprey Interface Program Ver: 3.10");
    EXPECT_EQ(run.window.baud, 19200);
    EXPECT_EQ(run.window.firstDigit, "3");
}

TEST(StartUp, FinchUsesCountClass34AtDefinedSpeed) {
    StartUpRun run({.IFFinch = true});
    EXPECT_EQ(run.state.CountClass, "34");
    EXPECT_EQ(run.state.FullScale, 3400);
    EXPECT_EQ(run.state.PeakMin, 3401.0F);
    EXPECT_EQ(run.window.baud, 2400);
    EXPECT_THAT(run.window.texts, ElementsAre("3400", "-3400", "3401", "-3401"));
    EXPECT_THAT(run.order,
                ElementsAre("CreatePager", "CreateTable", "InitAxis 3400", "InitScale 34"));
}

TEST(StartUp, TernUsesCountClass6) {
    StartUpRun run({.IFTern = true});
    EXPECT_EQ(run.state.FullScale, 6000);
    EXPECT_EQ(run.state.BarCentre, 600);
    EXPECT_EQ(run.state.BarGraphFull, 60);
    EXPECT_EQ(run.state.ScaleTicks, 120);
    EXPECT_EQ(run.state.PeakMax, -6001.0F);
    EXPECT_THAT(run.window.texts, ElementsAre("6000", "-6000", "6001", "-6001"));
}

TEST(StartUp, NoFlagBindsNothing) {
    StartUpRun run({});
    EXPECT_EQ(run.window.caption, "");
    EXPECT_EQ(run.window.handler, base::ReceiveHandler::None);
    EXPECT_EQ(run.window.baud, 2400);
    EXPECT_EQ(run.state.CountClass, "4");
}

} // namespace
} // namespace meterdesk::app
