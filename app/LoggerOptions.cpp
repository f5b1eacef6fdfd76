#include "app/LoggerOptions.h"

#include "base/NumberText.h"

#include <cstdlib>

namespace meterdesk::app {

namespace {

std::optional<double> Seconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0)) {
        return std::nullopt;
    }
    return value;
}

// A whole number no smaller than `minimum`.
std::optional<std::int32_t> AtLeast(const std::string& text, std::int32_t minimum) {
    const auto value = base::TextToInt(text);
    return value && *value >= minimum ? value : std::nullopt;
}

} // namespace

LoggerOptions ParseLoggerOptions(const std::vector<std::string>& arguments) {
    LoggerOptions options;
    const auto fail = [&options](std::string message) {
        options.error = std::move(message);
        return options;
    };
    if (!arguments.empty() && arguments[0] == "convert") {
        if (arguments.size() != 3) {
            return fail("convert takes IN and OUT");
        }
        options.command = LoggerOptions::Command::Convert;
        options.convertFrom = arguments[1];
        options.convertTo = arguments[2];
        return options;
    }
    if (!arguments.empty() && arguments[0] == "recover") {
        if (arguments.size() == 2 && arguments[1] == "--list") {
            options.command = LoggerOptions::Command::RecoverList;
            return options;
        }
        if (arguments.size() < 2 || arguments.size() > 3 || arguments.back().starts_with("--")) {
            return fail("recover takes --list, or [JOURNAL] OUT");
        }
        options.command = LoggerOptions::Command::Recover;
        options.recoverJournal = arguments.size() == 3 ? arguments[1] : "";
        options.recoverTo = arguments.back();
        return options;
    }
    int sources = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        const auto value = [&]() -> const std::string& { return arguments[++i]; };
        if (arg == "--help" || arg == "-h") {
            options.command = LoggerOptions::Command::Help;
        } else if (arg == "--version") {
            options.command = LoggerOptions::Command::Version;
        } else if (arg == "--usb") {
            options.source = LogSource::Usb;
            ++sources;
        } else if (arg == "--no-repeat") {
            options.repeat = false;
        } else if (!hasValue) {
            return fail(arg.starts_with("--") ? arg + " needs a value"
                                              : "unknown argument '" + arg + "'");
        } else if (arg == "--port") {
            options.source = LogSource::SerialPath;
            options.serialPath = value();
            ++sources;
        } else if (arg == "--com") {
            const auto number = AtLeast(value(), 1);
            if (!number || *number > 4) {
                return fail("--com takes 1, 2, 3 or 4");
            }
            options.source = LogSource::ComNumber;
            options.comNumber = *number;
            ++sources;
        } else if (arg == "--input") {
            options.source = LogSource::InputFile;
            options.inputPath = value();
            ++sources;
        } else if (arg == "--interval") {
            const auto seconds = AtLeast(value(), 0);
            if (!seconds) {
                return fail("--interval takes whole seconds, 0 or more");
            }
            options.intervalSeconds = *seconds;
        } else if (arg == "--limit") {
            const auto limit = AtLeast(value(), 1);
            if (!limit) {
                return fail("--limit takes a number of rows, 1 or more");
            }
            options.limit = *limit;
        } else if (arg == "--samples") {
            const auto samples = AtLeast(value(), 1);
            if (!samples) {
                return fail("--samples takes a number of rows, 1 or more");
            }
            options.samples = *samples;
        } else if (arg == "--duration") {
            options.durationSeconds = Seconds(value());
            if (!options.durationSeconds) {
                return fail("--duration takes seconds, 0 or more");
            }
        } else if (arg == "--output") {
            options.outputPath = value();
        } else {
            return fail("unknown argument '" + arg + "'");
        }
    }
    if (options.command != LoggerOptions::Command::Log) {
        return options;
    }
    if (sources != 1) {
        return fail(sources == 0 ? "name one source: --port, --com, --usb or --input"
                                 : "name only one source");
    }
    return options;
}

std::string LoggerUsage() {
    return "Usage: meterdesk-log [--port PATH | --com N | --usb | --input FILE] [--interval S]\n"
           "                     [--no-repeat] [--limit N] [--samples N] [--duration S]\n"
           "                     [--output FILE]\n"
           "       meterdesk-log convert IN OUT\n"
           "       meterdesk-log recover --list | recover [JOURNAL] OUT\n\n"
           "Logs the meter's readings without a window: each logged row goes to standard\n"
           "output at once as a line of the text format (header first); at the end the\n"
           "whole log is written to --output, as XML when its name ends in .xml, else as\n"
           "tab-separated text. Meanwhile every row is kept in a journal under\n"
           "$XDG_STATE_HOME/meterdesk (~/.local/state/meterdesk), removed once the log\n"
           "is written; SIGHUP, SIGPIPE, SIGTERM and SIGINT end the run with --output\n"
           "written.\n\n"
           "  --port PATH    serial device, e.g. /dev/ttyUSB0\n"
           "  --com N        COM1..COM4 as the window resolves them (n-th serial port)\n"
           "  --usb          the meter's USB cable (\"USB to Serial\" bridge)\n"
           "  --input FILE   raw bytes as on the serial line, decoded as they arrive\n"
           "                 (- = stdin)\n"
           "  --interval S   after each logged row, wait S ticks of a clock that ticks\n"
           "                 every second apart from the readings, then log the next\n"
           "                 reading: rows come S-1 to S seconds apart, plus the wait\n"
           "                 for a reading; 0 logs every reading. Over --input the clock\n"
           "                 runs while bytes arrive: a file read in a moment logs\n"
           "                 only its first reading when S is above 0\n"
           "  --no-repeat    log a reading only when it differs from the last one logged\n"
           "  --limit N      stop logging after N rows (default 10,000,000)\n"
           "  --samples N    end after N rows\n"
           "  --duration S   end after S seconds\n"
           "  --output FILE  write the log there at the end\n"
           "  convert IN OUT load IN and write it as OUT's name chooses\n"
           "  recover --list the journals of runs that ended without writing their log\n"
           "                 (a crash, a kill, a power loss): path, start, rows\n"
           "  recover [JOURNAL] OUT  write a journal (the newest by default) as OUT,\n"
           "                 then remove it\n\n"
           "Exit status: 0 done, 1 runtime failure (one line on standard error), 2 bad\n"
           "arguments.\n";
}

} // namespace meterdesk::app
