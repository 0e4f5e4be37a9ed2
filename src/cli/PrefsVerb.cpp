// kelvor-cli prefs: the preferences as the program loads them, and their deletion.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/VerbArgs.h"
#include "core/settings/PreferencesStore.h"
#include "platform/PreferencesEnvironment.h"

namespace kelvor::cli {
namespace {

// The terminal's answers to the store's questions: "y" or "yes" is Yes, anything else No.
class TerminalHost : public settings::PreferencesHost {
  public:
    bool askYesNo(settings::MessageKind, const std::string& text) override {
        std::printf("%s [y/N] ", text.c_str());
        std::fflush(stdout);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
    }
    void showMessage(settings::MessageKind kind, const std::string& text) override {
        std::fprintf(kind == settings::MessageKind::Warning ? stderr : stdout, "%s\n",
                     text.c_str());
    }
};

template <class Owner>
void printTable(const Owner& values, std::span<const settings::KeyDef<Owner>> keys) {
    for (const settings::KeyDef<Owner>& key : keys) {
        const std::string text = std::visit(
            [&](auto member) -> std::string {
                const auto& v = values.*member;
                using T = std::remove_cvref_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    return v;
                } else if constexpr (std::is_same_v<T, double>) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%.17g", v);
                    return buf;
                } else {
                    return std::to_string(static_cast<int>(v));
                }
            },
            key.Member);
        std::printf("%.*s=%s\n", static_cast<int>(key.Key.size()), key.Key.data(), text.c_str());
    }
}

}  // namespace

int runPrefs(Args args) {
    const settings::PreferencesEnvironment env = platform::CurrentPreferencesEnvironment();
    const VerbArgs a = ParseVerbArgs(args, {});
    if (!a.Error.empty() || a.Files.size() > 1 || (a.Files.size() == 1 && a.Files[0] != "delete"))
        return UsageError("prefs", a.Error, "prefs [delete]");
    if (a.Files.size() == 1) {
        TerminalHost host;
        settings::DeletePreferences(env, host);
        return kExitDone;
    }
    settings::Preferences prefs;
    const settings::LoadOutcome outcome = settings::LoadPreferences(prefs, env);
    const auto store = prefs.IniMode ? env.Locations.IniFile() : env.Locations.UserFile();
    std::printf("; store: %s%s\n", store.string().c_str(),
                outcome == settings::LoadOutcome::Fallback ? " (unreadable: fallback values)" : "");
    std::printf("[%.*s]\n", static_cast<int>(settings::MainSection.size()),
                settings::MainSection.data());
    printTable(prefs, settings::MainKeys());
    std::printf("\n[%.*s]\n", static_cast<int>(settings::FontSection.size()),
                settings::FontSection.data());
    printTable(prefs.InlayFont, settings::FontKeys());
    return 0;
}

}  // namespace kelvor::cli
