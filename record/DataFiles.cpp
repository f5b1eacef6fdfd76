#include "record/DataFiles.h"

#include "record/DataFileNames.h"
#include "record/DataPacket.h"

namespace meterdesk::record {

std::string PacketSavedMessage(std::string_view name) {
    return "Save table to specified file: " + std::string(name) + " Scuss!";
}

std::string PictureSavedMessage(std::string_view name) {
    return "Graphic has been saved successfully at the following location: " + std::string(name);
}

std::string NotSavedMessage(std::string_view name, std::string_view reason) {
    return "Cannot write the file \"" + std::string(name) + "\": " + std::string(reason) +
           ".\nThe file was not saved.";
}

SaveOutcome SaveTable(FileSystem& files, const MeasurementTable& table, const std::string& name,
                      const WalkProgress& progress) {
    SaveOutcome outcome;
    outcome.packet = IsPacketFileName(name);
    const std::size_t rows = table.RowCount();
    outcome.error = SaveFileSafely(files, name, [&](ByteSink& sink) {
        if (outcome.packet) {
            WriteDataPacket(table, rows, sink, progress);
        } else {
            WriteTextTable(table, rows, sink, progress);
        }
    });
    return outcome;
}

LoadOutcome LoadTable(FileSystem& files, const std::string& name, MeasurementTable& table,
                      bool emptyFirst, const WalkProgress& progress) {
    if (emptyFirst) {
        table.Clear();
    }
    std::string error;
    const std::optional<std::string> bytes = files.ReadAll(name, error);
    if (!bytes) {
        return {};
    }
    return IsPacketFileName(name) ? ReadDataPacket(*bytes, table, progress)
                                  : ReadTextTable(*bytes, table, progress);
}

} // namespace meterdesk::record
