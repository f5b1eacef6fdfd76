#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace meterdesk::app {

// Shows an error that a command did not handle itself: a modal box with the
// error's text, after which the program goes on.
void ShowError(const std::string& text);

// Wraps a handler bound to a Qt signal so that no exception crosses the
// event loop: an escaping exception ends the command and is shown. The
// handler takes no arguments; it reads what it needs from its controls.
template <typename Handler> auto Guarded(Handler handler) {
    return [handler = std::move(handler)]() {
        try {
            handler();
        } catch (const std::exception& error) {
            ShowError(error.what());
        } catch (...) {
            ShowError("Unknown error");
        }
    };
}

} // namespace meterdesk::app
