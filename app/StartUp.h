#pragma once

#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "base/ModelProfile.h"

#include <functional>
#include <string>

namespace meterdesk::app {

// What start-up changes in the window it runs in.
class StartUpWindow {
public:
    virtual ~StartUpWindow() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetSerialSpeed(std::int32_t baudRate) = 0;
    virtual void BindReceiveHandler(base::ReceiveHandler handler) = 0;
    virtual void SetFirstDigitCaption(const std::string& caption) = 0;
    // Writes the row's texts into Setmax, SetMin, MinText and MaxText, in
    // that order; the limit boxes run their change handling.
    virtual void WriteCountClassTexts(const base::CountClassRow& row) = 0;
};

// The places in the start-up sequence where later parts set themselves up.
// An empty hook does nothing.
struct StartUpHooks {
    std::function<void()> CreatePager;
    std::function<void()> CreateTable;
    std::function<void()> InitAxis;
    std::function<void()> InitScale;
};

// The window's creation handler: locale, pager, table, count class, start
// values, profile, axis and scale, in that order.
void FormCreate(base::MeasurementState& state, base::LocaleSource& locale,
                const base::ModelProfile& profile, StartUpWindow& window,
                const StartUpHooks& hooks);

} // namespace meterdesk::app
