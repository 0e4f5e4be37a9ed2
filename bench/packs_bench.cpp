// The pack readers on one PAL frame: the five readers together, and the one pass the scene
// detector runs per frame.
// The peer is the time to read the same 144000 bytes from memory once (the physical limit).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

#include "core/dv/DvPacks.h"

namespace {

using namespace kelvor::dv;

// A PAL frame as a camcorder writes it: packs in subcode and VAUX, "no info" elsewhere.
std::vector<std::uint8_t> palFrame() {
    std::vector<std::uint8_t> f(kFrameSize625, 0);
    for (int s = 0; s < kSequences625; ++s) {
        for (int p = 0; p < kSearchPositionsPerSequence; ++p)
            std::memset(&f[SearchPositionOffset(s, p)], 0xFF, kPackSize);
        for (int j = 0; j < kAudioBlocksPerSequence; ++j)
            f[AudioBlockOffset(s, j) + 3] = 0xFF;
    }
    f[3] = 0xBF;
    const std::uint8_t tc[] = {0x13, 0x05, 0x12, 0x34, 0x01};
    const std::uint8_t date[] = {0x62, 0xFF, 0xC8, 0xE7, 0x24};
    const std::uint8_t time[] = {0x63, 0xFF, 0xD8, 0xD5, 0xD9};
    const std::uint8_t vsc[] = {0x61, 0xFF, 0xF8, 0xFC, 0xFF};
    const std::uint8_t as[] = {0x50, 0xD0, 0x00, 0xC0, 0x00};
    for (int s = 0; s < kSequences625; ++s) {
        std::memcpy(&f[SearchPositionOffset(s, 3)], tc, 5);
        std::memcpy(&f[SearchPositionOffset(s, 12 + 2 * 15 + 11)], date, 5);
        std::memcpy(&f[SearchPositionOffset(s, 12 + 2 * 15 + 12)], time, 5);
        std::memcpy(&f[SearchPositionOffset(s, 12 + 1)], vsc, 5);
        for (int j = 0; j < kAudioBlocksPerSequence; ++j)
            std::memcpy(&f[AudioBlockOffset(s, j) + 3], as, 5);
    }
    return f;
}

void readAll(ConstFrame frame) {
    Datecode dc;
    Timecode tc;
    AudioFormat af;
    int standard = 0;
    bool wide = false;
    benchmark::DoNotOptimize(ReadDatecode(frame, kSequences625, dc));
    benchmark::DoNotOptimize(ReadTimecode(frame, kSequences625, tc));
    benchmark::DoNotOptimize(ReadStandard(frame, standard));
    benchmark::DoNotOptimize(ReadAudioFormat(frame, kSequences625, af));
    benchmark::DoNotOptimize(ReadWide(frame, kSequences625, wide));
    benchmark::DoNotOptimize(dc);
    benchmark::DoNotOptimize(tc);
}

void readFacts(ConstFrame frame) {
    FrameFacts facts;
    ReadFrameFacts(frame, kSequences625, facts);
    benchmark::DoNotOptimize(facts);
}

void BM_FrameFacts(benchmark::State& state) {
    const auto frame = palFrame();
    for (auto _ : state)
        readFacts(frame);
}
BENCHMARK(BM_FrameFacts);

void BM_FivePackReaders(benchmark::State& state) {
    const auto frame = palFrame();
    for (auto _ : state)
        readAll(frame);
}
BENCHMARK(BM_FivePackReaders);

template <typename F>
double nanosPerCall(F&& f, int iterations) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i)
        f();
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / iterations;
}

}  // namespace

int main(int argc, char** argv) {
    const auto frame = palFrame();
    constexpr int kIterations = 2'000'000;
    const double ours = nanosPerCall([&] { readFacts(frame); }, kIterations);
    const double five = nanosPerCall([&] { readAll(frame); }, kIterations);
    const double peer = nanosPerCall(
        [&] {
            unsigned long sum = std::accumulate(frame.begin(), frame.end(), 0ul);
            benchmark::DoNotOptimize(sum);
        },
        2000);
    std::printf(
        "BENCH packs ours=%.9f peer=%.9f speedup=%.2f (peer: summing the 144000 bytes of the frame "
        "once)\n",
        ours * 1e-9, peer * 1e-9, peer / ours);
    std::printf("  the detector's one pass on a PAL frame: %.1f ns per frame\n", ours);
    std::printf("  the five pack readers one after the other: %.1f ns per frame\n", five);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
