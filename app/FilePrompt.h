#pragma once

#include <QString>

#include <memory>
#include <optional>

class QFileDialog;

namespace meterdesk::app {

// Where the window asks the user for a file name: the dialog as the window
// set it up, the chosen name back, nothing when the user cancelled. Tests
// answer in its place.
class FilePrompt {
public:
    virtual ~FilePrompt() = default;
    virtual std::optional<QString> Ask(QFileDialog& dialog) = 0;
};

// Shows the dialog modally.
std::unique_ptr<FilePrompt> MakeDialogPrompt();

} // namespace meterdesk::app
