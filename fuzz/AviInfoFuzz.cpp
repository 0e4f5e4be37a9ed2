// The AVI reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/avi/AviInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvor::avi::MemoryFile file(std::vector<std::uint8_t>(data, data + size));
    kelvor::avi::AviInfo p(file);
    (void)p.VideoCodec();
    return 0;
}
