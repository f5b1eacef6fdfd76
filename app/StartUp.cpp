#include "app/StartUp.h"

namespace meterdesk::app {

namespace {

void Run(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

} // namespace

void FormCreate(base::MeasurementState& state, base::LocaleSource& locale,
                const base::ModelProfile& profile, StartUpWindow& window,
                const StartUpHooks& hooks) {
    state.DecimalSep = locale.ReadDecimalSeparator();
    state.LocaleFormat = locale.ReadLocaleFormat();
    Run(hooks.CreatePager);
    Run(hooks.CreateTable);
    base::ApplyCountClassNumbers(state, *base::FindCountClass("4"));
    state.PrevUnit = "113";
    state.NextRecordNo = 1;
    state.RecordLimit = 10000;

    // The flags in their test order; each checked flag overrides what an
    // earlier one set, so applying the outcome once is the same.
    const base::ProfileSettings settings = base::ResolveProfile(profile);
    window.BindReceiveHandler(settings.receiveHandler);
    window.SetCaption(settings.caption);
    window.SetSerialSpeed(settings.baudRate);
    window.SetFirstDigitCaption(settings.firstDigitCaption);
    state.CountClass = settings.countClass;

    // Count class "4" is what the window definition already holds; the
    // others rewrite the numbers and then the limit and min/max texts.
    for (const char* name : {"6", "34"}) {
        if (state.CountClass == name) {
            const base::CountClassRow row = *base::FindCountClass(name);
            base::ApplyCountClassNumbers(state, row);
            window.WriteCountClassTexts(row);
        }
    }
    Run(hooks.InitAxis);
    Run(hooks.InitScale);
}

} // namespace meterdesk::app
