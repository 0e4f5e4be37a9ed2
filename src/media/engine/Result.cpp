#include "media/engine/Result.h"

#include <cstdio>

namespace kelvor::media {

std::string ResultText(HRESULT hr) {
    struct Named {
        HRESULT code;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {VFW_E_INVALIDMEDIATYPE, "VFW_E_INVALIDMEDIATYPE"},
        {VFW_E_ALREADY_CONNECTED, "VFW_E_ALREADY_CONNECTED"},
        {VFW_E_NO_ACCEPTABLE_TYPES, "VFW_E_NO_ACCEPTABLE_TYPES"},
        {VFW_E_INVALID_DIRECTION, "VFW_E_INVALID_DIRECTION"},
        {VFW_E_NOT_CONNECTED, "VFW_E_NOT_CONNECTED"},
        {VFW_E_BUFFER_OVERFLOW, "VFW_E_BUFFER_OVERFLOW"},
        {VFW_E_NOT_STOPPED, "VFW_E_NOT_STOPPED"},
        {VFW_E_CANNOT_CONNECT, "VFW_E_CANNOT_CONNECT"},
        {VFW_E_WRONG_STATE, "VFW_E_WRONG_STATE"},
        {VFW_E_TYPE_NOT_ACCEPTED, "VFW_E_TYPE_NOT_ACCEPTED"},
        {VFW_E_NOT_FOUND, "VFW_E_NOT_FOUND"},
        {VFW_E_UNSUPPORTED_STREAM, "VFW_E_UNSUPPORTED_STREAM"},
        {VFW_E_INVALID_FILE_FORMAT, "VFW_E_INVALID_FILE_FORMAT"},
        {VFW_E_TIMEOUT, "VFW_E_TIMEOUT"},
        {VFW_S_STATE_INTERMEDIATE, "VFW_S_STATE_INTERMEDIATE"},
        {VFW_S_NO_MORE_ITEMS, "VFW_S_NO_MORE_ITEMS"},
    };
    char value[16];
    std::snprintf(value, sizeof value, "0x%08X", static_cast<unsigned>(hr));
    for (const Named& n : kNames)
        if (n.code == hr)
            return std::string(n.name) + " (" + value + ")";
    return value;
}

}  // namespace kelvor::media
