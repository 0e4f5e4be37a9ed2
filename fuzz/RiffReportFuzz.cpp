// The RIFF structure report over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/avi/RiffReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvor::avi::MemoryFile file(std::vector<std::uint8_t>(data, data + size));
    kelvor::avi::RiffReport report;
    report.now = [] { return 45000.5; };
    report.RunReport("/fuzz/input.avi", file);
    return 0;
}
