// The trend chart with 100 and with 10,000,000 points stored: adding a point
// and repainting the view must cost the same, and the chart keeps at most 8
// bytes per point; and thinning a page of 10,000,000 points.
#include "chart/ChartControl.h"
#include "chart/ui/QtChartSurface.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace meterdesk;

struct FilledChart {
    explicit FilledChart(std::int64_t points) : chart(new QChart()), view(chart) {
        surface = new chart::QtChartSurface(chart);
        pager = std::make_unique<chart::TChartControl>(*surface, 100);
        view.resize(329, 233);
        for (std::int64_t i = 0; i < points; ++i) {
            pager->AddPoint(static_cast<double>(i % 8000 - 4000));
        }
        surface->RefreshNow();
    }
    QChart* chart;
    QChartView view;
    chart::QtChartSurface* surface;
    std::unique_ptr<chart::TChartControl> pager;
};

void BM_AddPointAndRepaint(benchmark::State& bench) {
    FilledChart filled(bench.range(0));
    double value = 0;
    for (auto _ : bench) {
        filled.pager->AddPoint(value += 1);
        filled.surface->RefreshNow();
        QPixmap frame = filled.view.grab();
        benchmark::DoNotOptimize(frame);
    }
    const auto& store = filled.surface->Store();
    bench.counters["bytes_per_point"] =
        static_cast<double>(store.BytesReserved()) / static_cast<double>(store.Size());
}
BENCHMARK(BM_AddPointAndRepaint)->Arg(100)->Arg(10'000'000)->Unit(benchmark::kMicrosecond);

void BM_AddPoint(benchmark::State& bench) {
    FilledChart filled(bench.range(0));
    double value = 0;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(filled.pager->AddPoint(value += 1));
    }
}
BENCHMARK(BM_AddPoint)->Arg(100)->Arg(10'000'000);

// A page as long as the log: each of 329 pixel columns keeps its lowest and
// highest of some 30,000 readings.
void BM_ThinTenMillionPointPage(benchmark::State& bench) {
    chart::PointStore store;
    for (int i = 0; i < 10'000'000; ++i) {
        store.Append(static_cast<float>(i % 8000 - 4000));
    }
    for (auto _ : bench) {
        benchmark::DoNotOptimize(chart::DecimatedWindow(store, 1, 10'000'000, 329));
    }
}
BENCHMARK(BM_ThinTenMillionPointPage)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
