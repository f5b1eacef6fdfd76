#include "app/LoggerCommands.h"

#include "app/LoggerSignals.h"
#include "record/Conversion.h"
#include "record/DataFiles.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace meterdesk::app {

namespace {

int Convert(const LoggerOptions& options) {
    InstallSaveCleanupSignals();
    // Out of memory ends the command with its line, like any other failure.
    try {
        const record::ConvertOutcome converted =
            record::ConvertFile(options.convertFrom, options.convertTo);
        if (converted.loadError) {
            FailWith("cannot load " + options.convertFrom + ": " + *converted.loadError);
        }
        if (converted.saveError) {
            FailWith(record::NotSavedMessage(options.convertTo, *converted.saveError));
        }
    } catch (const std::bad_alloc&) {
        FailWith("out of memory");
    } catch (const std::exception& failure) {
        FailWith(failure.what());
    }
    return 0;
}

} // namespace

void SayOnStandardError(std::string message) {
    for (char& c : message) {
        c = c == '\n' ? ' ' : c;
    }
    std::string line;
    for (const char c : message) {
        if (!(c == ' ' && !line.empty() && line.back() == ' ')) {
            line += c;
        }
    }
    std::fprintf(stderr, "meterdesk-log: %s\n", line.c_str());
}

void FailWith(std::string message) {
    SayOnStandardError(std::move(message));
    std::fflush(stdout);
    std::exit(1);
}

std::optional<int> RunCommandWithoutMeter(const LoggerOptions& options, std::string_view version) {
    if (!options.error.empty()) {
        std::fprintf(stderr, "meterdesk-log: %s\n\n%s", options.error.c_str(),
                     LoggerUsage().c_str());
        return 2;
    }
    switch (options.command) {
    case LoggerOptions::Command::Help:
        std::printf("%s", LoggerUsage().c_str());
        return 0;
    case LoggerOptions::Command::Version:
        std::printf("meterdesk-log %.*s\n", static_cast<int>(version.size()), version.data());
        return 0;
    case LoggerOptions::Command::Convert:
        return Convert(options);
    default:
        return std::nullopt;
    }
}

} // namespace meterdesk::app
