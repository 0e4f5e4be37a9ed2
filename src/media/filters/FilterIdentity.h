// The identity of each of the program's own filters: the display name it is created with and
// its class identifier, as the filter check and the graph owners look them up.
#pragma once

#include <string_view>

namespace kelvor::media {

struct FilterIdentity {
    std::string_view Name;
    std::string_view ClassId;
};

}  // namespace kelvor::media
