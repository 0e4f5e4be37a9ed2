// The date scene detector's per-frame work on PAL frames in memory, with a subtitle sink that
// formats both lines on every frame (its most expensive setting). The peer is summing the same
// bytes once, the least any reader of the stream must do.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <numeric>
#include <vector>

#include "core/scenes/DateSceneDetector.h"

namespace {

using namespace kelvor;

constexpr int kFrames = 250;

// Frames with a datecode that advances one second every 25 frames and jumps every 100.
std::vector<std::vector<std::uint8_t>> frames() {
    std::vector<std::vector<std::uint8_t>> out;
    for (int i = 0; i < kFrames; ++i) {
        std::vector<std::uint8_t> f(dv::kFrameSize625, 0xFF);
        f[3] = 0xBF;
        const int second = (i / 25 + (i / 100) * 30) % 60;
        const auto bcd = [](int v) {
            return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10));
        };
        const std::uint8_t date[] = {0x62, 0xFF, 0xD5, 0xE3, 0x04};
        const std::uint8_t time[] = {0x63, 0xFF, static_cast<std::uint8_t>(0x80 | bcd(second)),
                                     0x80, 0xD0};
        const std::uint8_t vsc[] = {0x61, 0xFF, 0xF8, 0xFC, 0xFF};
        const std::uint8_t as[] = {0x50, 0xD0, 0x00, 0xC0, 0xC0};
        for (int s = 0; s < dv::kSequences625; ++s) {
            std::copy(date, date + 5, &f[dv::SearchPositionOffset(s, 12 + 2 * 15 + 11)]);
            std::copy(time, time + 5, &f[dv::SearchPositionOffset(s, 12 + 2 * 15 + 12)]);
            std::copy(vsc, vsc + 5, &f[dv::SearchPositionOffset(s, 12 + 1)]);
            std::copy(as, as + 5, &f[dv::AudioBlockOffset(s, 0) + 3]);
        }
        out.push_back(std::move(f));
    }
    return out;
}

void runDetector(scenes::DateSceneDetector& d, const std::vector<std::vector<std::uint8_t>>& f) {
    int ends = 0;
    d.OnSceneEnd = [&](const scenes::FrameInfo&, const scenes::FrameInfo&) { ++ends; };
    d.SetAutoMode(false);
    d.SetSubtitleSink([](const scenes::FrameInfo&, const std::string& a, const std::string& b) {
        benchmark::DoNotOptimize(a.size() + b.size());
    });
    d.StartStreaming();
    for (const auto& frame : f)
        d.ProcessSample(frame);
    d.Stop();
    benchmark::DoNotOptimize(ends);
}

void BM_DateSceneDetector(benchmark::State& state) {
    const auto f = frames();
    scenes::DateSceneDetector d;
    for (auto _ : state)
        runDetector(d, f);
    state.SetBytesProcessed(state.iterations() * kFrames * static_cast<long>(dv::kFrameSize625));
}
BENCHMARK(BM_DateSceneDetector);

}  // namespace

int main(int argc, char** argv) {
    const auto f = frames();
    scenes::DateSceneDetector d;
    constexpr int kRounds = 40;
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < kRounds; ++r)
        runDetector(d, f);
    const auto t1 = std::chrono::steady_clock::now();
    unsigned long sum = 0;
    for (int r = 0; r < kRounds; ++r)
        for (const auto& frame : f)
            sum += std::accumulate(frame.begin(), frame.end(), 0ul);
    benchmark::DoNotOptimize(sum);
    const auto t2 = std::chrono::steady_clock::now();
    const double ours = std::chrono::duration<double>(t1 - t0).count() / (kRounds * kFrames);
    const double peer = std::chrono::duration<double>(t2 - t1).count() / (kRounds * kFrames);
    std::printf(
        "BENCH scenes ours=%.9f peer=%.9f speedup=%.2f (per PAL frame; peer: summing its bytes)\n",
        ours, peer, peer / ours);
    std::printf("  date scene detector: %.1f us per frame, %.0f MB/s\n", ours * 1e6,
                dv::kFrameSize625 / ours / 1e6);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
