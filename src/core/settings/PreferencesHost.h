// What the preferences store asks of its front end: a confirmation and a report. The main
// window implements it with message dialogs, kelvor-cli on the terminal, tests with a script.
//
// Called on the thread that runs DeletePreferences (the main thread in the window).
#pragma once

#include <string>

namespace kelvor::settings {

enum class MessageKind { Information, Warning };

class PreferencesHost {
  public:
    virtual ~PreferencesHost() = default;
    // A question with the buttons Yes and No; true only when the answer is Yes.
    virtual bool askYesNo(MessageKind kind, const std::string& text) = 0;
    // A message with the single button OK.
    virtual void showMessage(MessageKind kind, const std::string& text) = 0;
};

}  // namespace kelvor::settings
