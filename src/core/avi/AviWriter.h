// Writes DV AVI files: DV type 1 (one interleaved "iavs" stream) or DV type 2 (a "vids" dvsd
// stream and PCM "auds" streams), OpenDML layout: the first RIFF "AVI " with the headers and an
// idx1, further RIFF "AVIX" chunks when the size limit is reached, a super index "indx" per
// stream in the headers and a standard index "ix##" per stream at the end of every "movi" list,
// "odml"/"dmlh" with the total frame count. Memory stays bounded by the index of one RIFF chunk.
//
// The file is written under a temporary name of its own beside the target (see
// files::CreateTemporaryFile) and moved over the target by close(), so an existing file is replaced
// only by a finished one. To abort a run, stop writing and call close(): the file then holds every
// frame written so far with headers and indexes that say so. discard() drops the temporary file and
// leaves the target alone.
//
// Ownership: the writer owns its file descriptor and its temporary file. Threads: one thread at
// a time. Failure: every call returns false once a write has failed (disk full, I/O error);
// close() then removes the temporary file, leaves the target as it was and returns false.
// errorText() says what went wrong.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/dv/DvInfo.h"

namespace kelvor::avi {

enum class DvType { Type1, Type2 };
enum class TvSystem { Pal, Ntsc };

// The fields of a PCM WAVEFORMATEX; the block alignment and byte rate follow from them.
struct WaveFormat {
    std::uint16_t FormatTag = 1;  // WAVE_FORMAT_PCM
    std::uint16_t Channels = 2;
    std::uint32_t SamplesPerSec = 48000;
    std::uint16_t BitsPerSample = 16;

    std::uint16_t blockAlign() const {
        return static_cast<std::uint16_t>(Channels * ((BitsPerSample + 7) / 8));
    }
    std::uint32_t avgBytesPerSec() const { return SamplesPerSec * blockAlign(); }
};

// A DVINFO block as stored in a stream format: the bytes of a dv::DvInfo.
using DvInfo = std::array<std::uint8_t, dv::DvInfo::kSize>;

inline constexpr std::uint64_t kDefaultRiffLimit = 1024ull * 1024 * 1024;
// Smallest accepted limit: a RIFF chunk must hold its headers and at least a few frames.
inline constexpr std::uint64_t kMinimumRiffLimit = 1024ull * 1024;
// Entries of each stream's super index: RIFF chunks a file may hold (256 GB at the default).
inline constexpr std::uint32_t kSuperIndexCapacity = 256;

struct AviWriterConfig {
    DvType Type = DvType::Type2;
    TvSystem System = TvSystem::Pal;
    // Bytes of one DV frame; 0 means the size of the system (144000 PAL, 120000 NTSC).
    std::uint32_t FrameSize = 0;
    // Type 2: one "auds" stream per entry (may be empty). Type 1: must be empty.
    std::vector<WaveFormat> Audio;
    DvInfo DvInfoBytes{};
    // Largest size of one RIFF chunk in bytes, header included (at least kMinimumRiffLimit).
    std::uint64_t RiffLimit = kDefaultRiffLimit;
};

// The stored bytes of dv::DvInfoFromFrame (FF where a pack is missing).
DvInfo DvInfoFromFrame(std::span<const std::uint8_t> frame);

class AviWriter {
  public:
    AviWriter();
    // An open writer is closed as by close().
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates the temporary file beside path and writes provisional headers. False when the
    // configuration is unusable or the file cannot be created.
    bool open(const std::string& path, const AviWriterConfig& config);
    // One DV frame: the video chunk of type 2, the interleaved chunk of type 1.
    bool writeVideoFrame(std::span<const std::uint8_t> frame);
    // One chunk of PCM samples for audio stream `stream` (type 2 only), whole sample blocks.
    bool writeAudio(std::span<const std::uint8_t> pcm, std::size_t stream = 0);
    // Writes the indexes and final headers and moves the file over the target.
    bool close();
    // Removes the temporary file; the target is not touched.
    void discard();

    bool isOpen() const;
    std::uint64_t framesWritten() const;
    std::uint64_t bytesWritten() const;
    const std::string& errorText() const;
    // The temporary name the open file is written under; empty when none is open.
    const std::string& temporaryPath() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
    std::string error_;
};

}  // namespace kelvor::avi
