#pragma once

#include <string>
#include <string_view>

namespace meterdesk::link {

// A device's UTF-16 text as the program's 8-bit text (UTF-8 on this system).
// A unit that is not valid UTF-16 becomes U+FFFD.
std::string NarrowText(std::u16string_view text);

// 8-bit text (UTF-8) as UTF-16 code units.
std::u16string WidenText(std::string_view text);

} // namespace meterdesk::link
