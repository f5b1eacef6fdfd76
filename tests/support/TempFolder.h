#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace meterdesk::testing {

// A folder of its own under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/meterdesk_test_XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The journals (not their side files) in `folder`.
inline std::vector<std::string> JournalFiles(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        if (entry.path().extension() == ".journal") {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

} // namespace meterdesk::testing
