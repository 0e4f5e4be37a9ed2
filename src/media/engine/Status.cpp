#include "media/engine/Status.h"

#include <cstdio>

namespace kelvor::media {

std::string CodeText(Code code) {
    struct Named {
        Code code;
        const char* name;
    };
    static constexpr Named kNames[] = {
        {Code::Ok, "S_OK"},
        {Code::False, "S_FALSE"},
        {Code::NotImplemented, "E_NOTIMPL"},
        {Code::NullPointer, "E_POINTER"},
        {Code::Fail, "E_FAIL"},
        {Code::Unexpected, "E_UNEXPECTED"},
        {Code::OutOfMemory, "E_OUTOFMEMORY"},
        {Code::InvalidArgument, "E_INVALIDARG"},
        {Code::AlreadyConnected, "VFW_E_ALREADY_CONNECTED"},
        {Code::InvalidDirection, "VFW_E_INVALID_DIRECTION"},
        {Code::NotConnected, "VFW_E_NOT_CONNECTED"},
        {Code::BufferOverflow, "VFW_E_BUFFER_OVERFLOW"},
        {Code::NotStopped, "VFW_E_NOT_STOPPED"},
        {Code::CannotConnect, "VFW_E_CANNOT_CONNECT"},
        {Code::WrongState, "VFW_E_WRONG_STATE"},
        {Code::TypeNotAccepted, "VFW_E_TYPE_NOT_ACCEPTED"},
        {Code::NotFound, "VFW_E_NOT_FOUND"},
        {Code::InvalidFileFormat, "VFW_E_INVALID_FILE_FORMAT"},
        {Code::StateIntermediate, "VFW_S_STATE_INTERMEDIATE"},
        {Code::NoMoreItems, "VFW_S_NO_MORE_ITEMS"},
    };
    char value[16];
    std::snprintf(value, sizeof value, "0x%08X", static_cast<unsigned>(code));
    for (const Named& n : kNames)
        if (n.code == code)
            return std::string(n.name) + " (" + value + ")";
    return value;
}

std::string Status::Message(std::string_view who) const {
    if (!reason_.empty())
        return reason_;
    if (code_ == Code::Ok)
        return {};
    return (who.empty() ? std::string("a stage") : std::string(who)) + " failed with " +
           CodeText(code_);
}

std::ostream& operator<<(std::ostream& os, Code code) {
    return os << CodeText(code);
}

std::ostream& operator<<(std::ostream& os, const Status& status) {
    os << CodeText(status.code());
    if (!status.reason().empty())
        os << ": " << status.reason();
    return os;
}

}  // namespace kelvor::media
