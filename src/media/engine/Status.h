// The outcome of an engine call: a code and, for a failure, the reason in words a user can act on.
// The codes keep the numeric values the program's filters were first written with, so values
// logged or compared by callers stay the same. Values only; any thread may use them.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace kelvor::media {

// Negative values are failures; the others succeed (False and the two below answer "no" or
// "not yet" without failing).
enum class Code : std::int32_t {
    Ok = 0,
    False = 1,
    StateIntermediate = 0x00040237,
    NoMoreItems = 0x00040103,
    NotImplemented = static_cast<std::int32_t>(0x80004001u),
    NoInterface = static_cast<std::int32_t>(0x80004002u),
    NullPointer = static_cast<std::int32_t>(0x80004003u),
    Fail = static_cast<std::int32_t>(0x80004005u),
    Unexpected = static_cast<std::int32_t>(0x8000FFFFu),
    OutOfMemory = static_cast<std::int32_t>(0x8007000Eu),
    InvalidArgument = static_cast<std::int32_t>(0x80070057u),
    AlreadyConnected = static_cast<std::int32_t>(0x80040204u),
    InvalidDirection = static_cast<std::int32_t>(0x80040208u),
    NotConnected = static_cast<std::int32_t>(0x80040209u),
    BufferOverflow = static_cast<std::int32_t>(0x8004020Du),
    NotFound = static_cast<std::int32_t>(0x80040216u),
    CannotConnect = static_cast<std::int32_t>(0x80040217u),
    NotStopped = static_cast<std::int32_t>(0x80040224u),
    WrongState = static_cast<std::int32_t>(0x80040227u),
    TypeNotAccepted = static_cast<std::int32_t>(0x8004022Au),
    InvalidFileFormat = static_cast<std::int32_t>(0x80040241u),
};

// The code as messages show it: its name with its value ("E_FAIL (0x80004005)"), the names
// being those the logs and messages have always carried.
std::string CodeText(Code code);

class Status {
  public:
    constexpr Status() = default;
    // Implicit, so that a stage returns a bare code where it has nothing to add.
    constexpr Status(Code code) : code_(code) {}
    Status(Code code, std::string reason) : code_(code), reason_(std::move(reason)) {}

    Code code() const { return code_; }
    bool ok() const { return static_cast<std::int32_t>(code_) >= 0; }
    bool failed() const { return !ok(); }
    // Empty when the stage gave no reason.
    const std::string& reason() const { return reason_; }
    // One line for a person: the reason when there is one, else who failed (or "a stage") with
    // the code's name; empty for a success without a reason.
    std::string Message(std::string_view who) const;

    friend bool operator==(const Status& s, Code c) { return s.code_ == c; }
    friend bool operator==(const Status&, const Status&) = default;

  private:
    Code code_ = Code::Ok;
    std::string reason_;
};

std::ostream& operator<<(std::ostream& os, Code code);
std::ostream& operator<<(std::ostream& os, const Status& status);

}  // namespace kelvor::media
