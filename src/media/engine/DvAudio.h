// DV audio in and out of the audio DIF blocks of a consumer DV frame (25 Mbit/s, 525/60 and
// 625/50): 16-bit linear 48000, 44100 and 32000 Hz as one stereo pair, 12-bit non-linear
// 32000 Hz as two stereo pairs. The samples sit shuffled over the frame's audio blocks; these
// functions map them both ways and read and write the AAUX source and source-control packs.
//
// Pure functions over caller-owned bytes: no allocation, no state, any thread. A frame of the
// wrong size or without an AAUX source pack gives std::nullopt / false and leaves outputs as
// they were.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/dv/DvPacks.h"

namespace kelvor::media::dvaudio {

inline constexpr int kMaxSamplesPerFrame = 1944;  // 625/50 at 48 kHz, unlocked

struct FrameAudio {
    bool pal = true;
    int sampleRate = 48000;
    int quantization = 16;  // 16 or 12
    int pairs = 1;          // stereo pairs carried: 1, or 2 for 12-bit
    int samples = 0;        // sample frames (per channel) in this DV frame
};

// The audio of a frame as its AAUX source pack (first half of the frame) describes it.
std::optional<FrameAudio> ReadFrameAudio(dv::ConstFrame frame);

// Fewest sample frames a DV frame of this system and rate carries (the AAUX size field counts
// from here); 0 for a rate DV does not have.
int MinSamples(bool pal, int sampleRate);
// Sample frames of frame number `index` when a stream of this rate is spread evenly over
// frames: 1920 for 48 kHz PAL, 1601 or 1602 for 48 kHz NTSC.
int SamplesForFrame(bool pal, int sampleRate, std::int64_t index);

// Takes pair p of the frame's audio into out as interleaved 16-bit stereo (left, right), at most
// out.size() / 2 sample frames. 12-bit samples are expanded to 16 bits; error samples become 0.
// Returns the sample frames written.
int ExtractPair(dv::ConstFrame frame, const FrameAudio& audio, int pair,
                std::span<std::int16_t> out);

// Writes `audio.samples` sample frames of each pair (interleaved 16-bit stereo; a missing second
// pair of a 12-bit frame is written silent) into the frame's audio blocks, with AAUX source and
// source-control packs in every sequence. The frame's other blocks are not touched. False when
// the frame size, rate, quantization or count does not fit DV.
bool InsertAudio(dv::MutableFrame frame, const FrameAudio& audio,
                 std::span<const std::int16_t> pair0, std::span<const std::int16_t> pair1 = {});

// 12-bit non-linear code (0..4095) to a 16-bit sample, and the nearest code of a 16-bit sample.
std::int16_t Expand12(std::uint16_t code);
std::uint16_t Compress12(std::int16_t sample);

}  // namespace kelvor::media::dvaudio
