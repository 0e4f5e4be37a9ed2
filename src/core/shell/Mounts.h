// The fixed drives of "Open all": mount points of local disk file systems.
//
// Pure function over the text of /proc/self/mounts, callable from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvor::shell {

// Mount points of local disk file systems, in the order of the table, each once. Pseudo file
// systems (proc, tmpfs, overlay, ...), network file systems, optical and image mounts
// (iso9660, squashfs) and the system's boot and read-only system mounts are left out. The
// table's octal escapes ("\040" for a blank) are decoded. Malformed lines are skipped.
std::vector<std::string> FixedMountPoints(std::string_view mountsText);

}  // namespace kelvor::shell
