#pragma once

#include <string>
#include <string_view>

namespace meterdesk::record {

// The extension of a file name without its dot: what follows the last dot of
// the last path component, empty when that component has none.
std::string_view FileExtension(std::string_view name);

// `name` with its extension replaced by `extension` (given without the dot),
// or with it appended when the name has none.
std::string ReplaceExtension(std::string_view name, std::string_view extension);

// The name a table is saved under: "xls", "txt" and "xml" (small letters
// only) are kept; any other extension becomes "xls".
std::string FixDataFileName(std::string_view chosen);

// The name a chart picture is saved under: the extension becomes "bmp"
// unless it is exactly that.
std::string FixPictureFileName(std::string_view chosen);

// True when the name's extension is "xml" in any letter case: such files
// hold a data packet, every other name the tab-separated text.
bool IsPacketFileName(std::string_view name);

} // namespace meterdesk::record
