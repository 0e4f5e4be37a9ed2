// The AVI demuxer over arbitrary bytes: open, then read every chunk it lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/avi/AviDemuxer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvor::avi::AviDemuxer demuxer;
    if (!demuxer.open(std::make_unique<kelvor::avi::MemoryFile>(
            std::vector<std::uint8_t>(data, data + size))))
        return 0;
    std::vector<std::uint8_t> buffer;
    for (std::size_t s = 0; s < demuxer.streams().size(); ++s) {
        for (std::uint64_t i = 0; i < demuxer.chunkCount(s); ++i) {
            const auto c = demuxer.chunk(s, i);
            if (!c || c->Offset > size || size - c->Offset < c->Size)
                std::abort();
            buffer.resize(c->Size);
            if (demuxer.readChunk(s, i, buffer) != c->Size)
                std::abort();
        }
    }
    return 0;
}
