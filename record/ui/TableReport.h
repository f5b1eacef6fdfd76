#pragma once

#include "record/MeasurementTable.h"
#include "record/TextTableFile.h"

#include <cstddef>

class QPrinter;

namespace meterdesk::record {

// The printed table: the banded A4 list of ReportLayout.h painted onto a
// printer (a print preview's, a PDF file's or a real one).
class TableReport {
public:
    // A4 portrait, 10 mm margins all round, one copy of all pages, one-sided.
    static void Configure(QPrinter& printer);

    // Paints the first `rows` rows of the table, a page at a time: on each
    // page the title, the column headings, the page's rows and the footer.
    // An empty table paints no band at all.
    static void Paint(QPrinter& printer, const MeasurementTable& table, std::size_t rows,
                      const WalkProgress& progress = {});
};

} // namespace meterdesk::record
