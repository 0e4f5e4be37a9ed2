// A long DV type 2 file for the benchmarks: the 50 dated frames of a raw DV seed repeated (the
// date steps back one second every two seconds, so there is no cut), written without encoding.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "core/avi/AviWriter.h"
#include "core/dv/DvPacks.h"

namespace kelvor::bench {

inline bool WriteRepeatedType2(const std::string& seed, const std::string& path, int frames) {
    std::ifstream in(seed, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    if (raw.size() < 50 * dv::kFrameSize625)
        return false;
    avi::AviWriterConfig c;
    c.Audio.push_back(avi::WaveFormat{});
    avi::AviWriter w;
    if (!w.open(path, c))
        return false;
    std::vector<std::uint8_t> pcm(1920 * 4, 0x11);
    for (int i = 0; i < frames; ++i) {
        const auto* f =
            reinterpret_cast<const std::uint8_t*>(raw.data()) + (i % 50) * dv::kFrameSize625;
        if (!w.writeVideoFrame(std::span<const std::uint8_t>(f, dv::kFrameSize625)) ||
            !w.writeAudio(pcm))
            return false;
    }
    return w.close();
}

}  // namespace kelvor::bench
