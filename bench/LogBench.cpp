// Ten million readings through the log with the chart and the grid's model:
// the time per row for each million, and the resident memory per logged
// reading of table, model and chart points together.
#include "base/MeasurementState.h"
#include "chart/ChartControl.h"
#include "chart/ui/QtChartSurface.h"
#include "record/Recorder.h"
#include "record/ui/MeasurementModel.h"

#include <QApplication>
#include <QChart>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace {

double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    using namespace meterdesk;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    constexpr long kRows = 10'000'000;
    constexpr long kSegment = 1'000'000;

    base::MeasurementState state;
    state.RecordLimit = record::kLimitless;
    record::MeasurementTable table;
    auto* trend = new QChart();
    chart::QtChartSurface surface(trend);
    chart::TChartControl pager(surface, 100);
    record::MeasurementModel model(table, nullptr);
    long row = 0;
    char clock[16];
    record::Recorder recorder(state, table,
                              {[&] {
                                   // The meter's pace: 174 readings a second of the day.
                                   const long second = row / 174 % 86400;
                                   std::snprintf(clock, sizeof clock, "%02ld:%02ld:%02ld",
                                                 second / 3600, second / 60 % 60, second % 60);
                                   return std::string(clock);
                               },
                               [&] { pager.AddPoint(state.ReadingNumber); },
                               [] {},
                               {}});
    const record::RecordSettings settings{false, true, "1"};
    state.ReadingCoupling = "DC";
    state.ReadingUnit = "V";
    state.ReadingRange = "AUTO";

    const double residentBefore = ResidentMegabytes();
    char value[16];
    for (long segment = 0; segment < kRows / kSegment; ++segment) {
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < kSegment; ++i, ++row) {
            const long count = row % 8000 - 4000;
            std::snprintf(value, sizeof value, "%05.2f", static_cast<double>(count) / 100.0);
            state.ReadingValue = value;
            state.ReadingNumber = static_cast<float>(count);
            recorder.INDataToTable(settings);
            // The window shows new rows in batches, five a second at 174 rows a second.
            if (row % 35 == 34) {
                model.ShowNewRows();
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("rows %2ld-%2ld M: %.0f ns per row\n", segment, segment + 1,
                    seconds * 1e9 / kSegment);
    }
    const double perRow = (ResidentMegabytes() - residentBefore) * 1e6 / kRows;
    std::printf("rows logged: %zu, chart points: %zu, distinct texts: %zu\n", table.RowCount(),
                surface.ValueCount(), table.DistinctTexts());
    std::printf("resident memory per logged reading: %.1f bytes\n", perRow);
    return 0;
}
