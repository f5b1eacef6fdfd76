// Frame assembly plus decoding of serial bytes, the path every reading takes.
#include "base/Locale.h"
#include "base/MeasurementState.h"
#include "decode/DisplayDecoder.h"
#include "decode/FrameAssembler.h"
#include "sim/FrameEncoder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace meterdesk;

// A line of varied frames: every function, ranges and digits changing.
std::vector<std::uint8_t> LineOfFrames(int frames) {
    constexpr std::array<char, 9> kFunctions{'B', 'D', 'F', '9', '3', '2', '4', '6', 'E'};
    std::vector<std::uint8_t> line{0x0A};
    for (int i = 0; i < frames; ++i) {
        sim::MeterReading r;
        r.functionCode = kFunctions[static_cast<std::size_t>(i) % kFunctions.size()];
        r.rangeCode = static_cast<std::uint8_t>(i % 4);
        r.digits = {static_cast<std::uint8_t>(i % 10), static_cast<std::uint8_t>(i / 10 % 10),
                    static_cast<std::uint8_t>(i / 100 % 10), static_cast<std::uint8_t>(i % 7)};
        r.negative = i % 3 == 0;
        r.dc = true;
        r.autoRange = i % 2 == 0;
        const auto frame = sim::EncodeFrame(r);
        line.insert(line.end(), frame.begin(), frame.end());
    }
    return line;
}

void BM_SerialAssemblyAndDecoding(benchmark::State& bench) {
    constexpr int kFrames = 1000;
    const std::vector<std::uint8_t> line = LineOfFrames(kFrames);
    base::MeasurementState state;
    decode::PanelState panel;
    base::FixedLocale locale;
    decode::DisplayDecoder decoder(state, panel, base::kBuildProfile, locale);
    decode::FrameAssembler assembler(state, decoder);
    std::int64_t needle = 0;
    decoder.handOffs.NeedleAt = [&](std::int32_t p) { needle += p; };
    // Deliver in poll-sized chunks, as the serial driver does.
    constexpr std::size_t kChunk = 2048;
    for (auto _ : bench) {
        for (std::size_t at = 0; at < line.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, line.size() - at);
            assembler.HHeronRData(line.data() + at, static_cast<std::uint32_t>(n));
        }
        benchmark::DoNotOptimize(needle);
    }
    bench.SetItemsProcessed(bench.iterations() * kFrames);
    bench.SetBytesProcessed(bench.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_SerialAssemblyAndDecoding);

} // namespace

BENCHMARK_MAIN();
