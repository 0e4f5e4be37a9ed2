// Scene list files come from disk and from other programs: any bytes must read or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/scenes/ScnFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvor::scenes::SceneList scenes;
    kelvor::scenes::ReadScnBytes(std::span<const std::uint8_t>(data, size), scenes, 25.0);
    return 0;
}
