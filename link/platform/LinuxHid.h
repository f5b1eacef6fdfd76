#pragma once

#include "link/HidPlatform.h"

#include <memory>

namespace meterdesk::link {

// Runs tasks on the thread of Qt's application object, from any thread.
MainThreadPoster QtMainThreadPoster();

// The HID devices of this computer: hidraw nodes listed, described and
// watched through libudev, opened and read through hidapi. The change
// notices arrive on Qt's event loop.
std::shared_ptr<HidPlatform> MakeLinuxHidPlatform();

} // namespace meterdesk::link
