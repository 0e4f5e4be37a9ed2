#include "core/scenes/ExportContext.h"

#include <chrono>

#include "core/files/DateTime.h"

namespace kelvor::scenes {

double SystemLocalNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const double utc = DateTimeFromUnix(std::chrono::duration<double>(since).count());
    return UtcToLocal(utc).value_or(utc);
}

double ExportContext::CurrentTime() const {
    return Now ? Now() : SystemLocalNow();
}

}  // namespace kelvor::scenes
