#include "record/DataFileNames.h"

#include <algorithm>
#include <cctype>

namespace meterdesk::record {

namespace {

// Where the extension's dot stands, or npos.
std::size_t ExtensionDot(std::string_view name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t component = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos || dot < component ? std::string_view::npos : dot;
}

} // namespace

std::string_view FileExtension(std::string_view name) {
    const std::size_t dot = ExtensionDot(name);
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string ReplaceExtension(std::string_view name, std::string_view extension) {
    std::string fixed(name.substr(0, std::min(ExtensionDot(name), name.size())));
    fixed += '.';
    fixed += extension;
    return fixed;
}

std::string FixDataFileName(std::string_view chosen) {
    const std::string_view extension = FileExtension(chosen);
    if (extension == "xls" || extension == "txt" || extension == "xml") {
        return std::string(chosen);
    }
    return ReplaceExtension(chosen, "xls");
}

std::string FixPictureFileName(std::string_view chosen) {
    return FileExtension(chosen) == "bmp" ? std::string(chosen) : ReplaceExtension(chosen, "bmp");
}

bool IsPacketFileName(std::string_view name) {
    const std::string_view extension = FileExtension(name);
    return extension.size() == 3 &&
           std::equal(extension.begin(), extension.end(), "xml", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

} // namespace meterdesk::record
