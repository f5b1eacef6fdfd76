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
    if (!arguments.empty() && arguments[0] == "doctor") {
        if (arguments.size() != 1) {
            return fail("doctor takes no arguments");
        }
        options.command = LoggerOptions::Command::Doctor;
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
        } else if (arg == "--mqtt-password") {
            return fail("--mqtt-password is not taken: a command line is visible to every user. "
                        "Give the password in a file (--mqtt-password-file) or in MQTT_PASSWORD");
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
        } else if (arg == "--format") {
            const std::string& format = value();
            if (format != "text" && format != "jsonl") {
                return fail("--format takes text or jsonl");
            }
            options.format = format == "text" ? RowFormat::Text : RowFormat::Jsonl;
        } else if (arg == "--mqtt") {
            std::string why;
            options.mqtt = record::ParseMqttAddress(value(), why);
            if (!options.mqtt) {
                return fail("--mqtt: " + why);
            }
        } else if (arg == "--mqtt-user") {
            options.mqttUser = value();
        } else if (arg == "--mqtt-password-file") {
            options.mqttPasswordFile = value();
        } else if (arg == "--mqtt-queue") {
            const auto rows = AtLeast(value(), 1);
            if (!rows) {
                return fail("--mqtt-queue takes a number of rows, 1 or more");
            }
            options.mqttQueueRows = static_cast<std::size_t>(*rows);
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
    if (!options.mqtt && (!options.mqttUser.empty() || !options.mqttPasswordFile.empty())) {
        return fail("--mqtt-user and --mqtt-password-file go with --mqtt");
    }
    if (options.mqttUser.empty() && !options.mqttPasswordFile.empty()) {
        return fail("--mqtt-password-file goes with --mqtt-user");
    }
    return options;
}

std::string LoggerUsage() {
    return "Usage: meterdesk-log [--port PATH | --com N | --usb | --input FILE] [--interval S]\n"
           "                     [--no-repeat] [--limit N] [--samples N] [--duration S]\n"
           "                     [--output FILE] [--format text|jsonl] [--mqtt URL\n"
           "                     [--mqtt-user NAME [--mqtt-password-file FILE]] [--mqtt-queue N]]\n"
           "       meterdesk-log convert IN OUT\n"
           "       meterdesk-log recover --list | recover [JOURNAL] OUT\n"
           "       meterdesk-log doctor\n\n"
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
           "  --format F     each row on standard output as text (default) or as one JSON\n"
           "                 object a line (jsonl)\n"
           "  --mqtt URL     publish each row's JSON object with QoS 1, URL\n"
           "                 mqtt://HOST[:PORT]/TOPIC or mqtts://... (TLS, system CAs)\n"
           "  --mqtt-user NAME          the broker's user name; the password comes from\n"
           "  --mqtt-password-file FILE this file's first line, else from MQTT_PASSWORD\n"
           "  --mqtt-queue N rows held while the broker is away (default 100,000); beyond\n"
           "                 it the oldest are dropped\n"
           "  convert IN OUT load IN and write it as OUT's name chooses\n"
           "  doctor         list the serial ports and USB cables, what keeps this user\n"
           "                 from each, and the fix; exit status 0 when all are usable\n"
           "  recover --list the journals of runs that ended without writing their log\n"
           "                 (a crash, a kill, a power loss): path, start, rows\n"
           "  recover [JOURNAL] OUT  write a journal (the newest by default) as OUT,\n"
           "                 then remove it\n\n"
           "Exit status: 0 done, 1 runtime failure (one line on standard error; with --mqtt\n"
           "also rows that did not reach the broker), 2 bad arguments.\n";
}

} // namespace meterdesk::app
