// A preference store may be damaged or written by hand: any text must parse or fail cleanly,
// and what parses must write out and parse again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/settings/IniText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto doc = kelvor::settings::IniDocument::Parse(text);
    if (!doc)
        return 0;
    if (!kelvor::settings::IniDocument::Parse(doc->Text()))
        std::abort();
    return 0;
}
