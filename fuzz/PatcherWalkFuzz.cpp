// The header patcher's walk and its writes, on a copy in memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/avi/AviHeaderPatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvor::avi::MemoryFile file(std::vector<std::uint8_t>(data, data + size));
    const auto o = kelvor::avi::AviHeaderPatcher::Walk(file);
    const std::array<std::uint8_t, 4> code{'d', 'v', 's', 'd'};
    for (const std::int64_t at : {o.CodecOffset, o.ScaleOffset, o.CompressionOffset}) {
        if (at < 0)
            continue;
        // Every offset found lies inside the file with room for the field.
        if (static_cast<std::uint64_t>(at) + 4 > size)
            std::abort();
        if (!file.writeAt(static_cast<std::uint64_t>(at), code))
            std::abort();
    }
    if (file.size() != size)
        std::abort();
    return 0;
}
