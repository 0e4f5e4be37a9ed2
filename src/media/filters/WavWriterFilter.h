// The WAV writer ("WavDest filter"): a copy filter that turns a sound stream into a WAV file,
// written by the file writer downstream. Each sample goes on stamped with its byte position in
// the file (start time = header size + bytes so far), which is where the file writer puts it;
// at stop the filter seeks the file writer's stream back to 0 and writes the header:
//
//   0 "RIFF", 4 data bytes + header size - 8, 8 "WAVE", 12 "fmt ", 16 F, 20 the format block as
//   connected (F bytes), 20 + F "data", 24 + F data bytes, 28 + F the samples; header size F + 28.
//
// Input: any type whose format is a WAVEFORMATEX (else Code::False). Output: only the byte stream
// MajorType::Stream / Subtype::Wave (else Code::False); its downstream must be a
// FileWriterFilter, whose Stream() it holds from the start of streaming to its stop, so the header
// is in the file before the file replaces its target. A sample whose end would pass what the 32-bit
// size fields hold is refused with Code::Fail, which ends the run with the file complete up to
// there; a sample the downstream did not take does not count.
//
// Created once by its graph owner. StartStreaming and StopStreaming run on the driving thread,
// Transform and Receive on the streaming thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/engine/ByteStreamFile.h"
#include "media/engine/TransformFilter.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

// The WAV header for a format block and a count of data bytes (see above).
std::vector<std::uint8_t> WaveHeader(std::span<const std::uint8_t> formatBlock,
                                     std::uint32_t dataBytes);

// Whether a sample of sampleBytes after dataBytes still fits the 32-bit size fields.
bool WaveSizeFieldsHold(std::uint32_t headerSize, std::uint32_t dataBytes, std::size_t sampleBytes);

class WavWriterFilter : public TransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"WavDest filter",
                                              "{A89E593E-ACFD-46A7-A532-91B69CA374BB}"};
    static constexpr std::uint32_t kHeaderOverhead = 28;

    WavWriterFilter();

    std::uint32_t HeaderSize() const { return headerSize_; }
    std::uint32_t DataBytes() const { return dataBytes_; }

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status CheckTransform(const MediaType& mtIn, const MediaType& mtOut) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartStreaming() override;
    Status Transform(const MediaSample& in, MediaSample& out) override;
    Status StopStreaming() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;

  private:
    // The file writer's stream downstream, or null.
    std::shared_ptr<ByteStreamFile> downstreamStream() const;

    std::uint32_t headerSize_ = 0;
    std::uint32_t dataBytes_ = 0;  // streaming thread, and the driving thread once it ended
    std::shared_ptr<ByteStreamFile> stream_;  // held from StartStreaming to StopStreaming
};

}  // namespace kelvor::media
