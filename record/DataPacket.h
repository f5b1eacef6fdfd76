#pragma once

#include "record/MeasurementTable.h"
#include "record/SafeFile.h"
#include "record/SegmentedRead.h"
#include "record/TextTableFile.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace meterdesk::record {

class InputFile;

// The start of every data packet file, the two blanks after the declaration
// included.
inline constexpr std::string_view kPacketStart =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">";

// A column name as an attribute name: space ! # $ % ( ) * ? become "_";
// nothing else changes ("DC/AC" stays).
std::string PacketAttrName(std::string_view columnName);

// Appends `text` as an attribute value: < > & ' " CR LF TAB and backslash
// as references, every other byte unchanged.
void AppendPacketEscaped(std::string& out, std::string_view text);

// Writes the first `rows` rows of the table as an XML data packet on one
// line: the six columns in FIELDS, the change log (every row is an
// insertion) in PARAMS, one ROW per row with RowState 4 and an attribute per
// column that holds a value (an empty text holds none).
void WriteDataPacket(const MeasurementTable& table, std::size_t rows, ByteSink& sink,
                     const WalkProgress& progress = {});

// A data packet writer fed row by row, for rows that come from a loader
// rather than a table: the start, with the change log of `rows` rows, with
// the first bytes written; each row as it comes (its texts cut as a table
// would store them); the end at Finish. The caller gives exactly `rows`
// rows.
class PacketRowWriter final : public RowWriter {
public:
    PacketRowWriter(ByteSink& sink, std::size_t rows, bool utf8Texts);
    void Take(const TableRowView& row) override;
    void Finish() override;
    std::unique_ptr<RowWriter> RowsOnlyInto(ByteSink& sink) const override;
    void TakeWritten(std::string_view bytes) override;

private:
    struct RowsOnly {};
    PacketRowWriter(ByteSink& sink, bool utf8Texts, RowsOnly);
    void Flush();

    ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool utf8_;
    bool rowsOnly_ = false;
    std::optional<std::size_t> headFor_; // the rows of a head not written yet
};

// Appends the rows of a data packet to the table. The file's columns are
// taken from its FIELD list and go to the table's columns by position, not
// by name; a ROW without a column's attribute leaves that column without a
// value. A document that is not a well-formed data packet, more than six
// columns, or a value for No that is no whole number ends the load; only the
// last kind of failure leaves rows behind (those before it): a document found
// faulty anywhere adds none.
LoadOutcome ReadDataPacket(std::string_view bytes, MeasurementTable& table,
                           const WalkProgress& progress = {});
// The same into any receiver.
LoadOutcome ReadDataPacket(std::string_view bytes, RowReceiver& rows,
                           const WalkProgress& progress = {});
// The same from an open file, read a window at a time: memory follows the
// longest element, not the file. A file of several segments has its rows
// read on as many threads, with the same outcome. A read that fails takes
// the rows back, as a fault does.
LoadOutcome ReadDataPacket(InputFile& file, RowReceiver& rows, const WalkProgress& progress = {},
                           const SegmentPlan& plan = {});

} // namespace meterdesk::record
