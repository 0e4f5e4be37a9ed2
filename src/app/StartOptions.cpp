#include "app/StartOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "commands/CommandModule.h"
#include "commands/ScriptRunner.h"
#include "core/shell/About.h"

namespace kelvor::app {
namespace {

struct WindowOption {
    const char* Name;
    const char* Description;
};

// The window's own options; the parser and the help text both read them from here.
constexpr WindowOption kOptions[] = {
    {"help", "print this help (the options and the script switches) and exit"},
    {"version", "print the name and the version and exit"},
};

// What the value of the runner's number and text switches means, for the help text.
const char* ValueName(char letter) {
    switch (letter) {
        case 'E':
            return "=DAYS";
        case 'Y':
            return "=FPS";
        case 'K':
            return "=FOURCC";
        case 'F':
            return "=MASK";
        case 'U':
        case 'L':
            return "=FILE";
        default:
            return "";
    }
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    else
        text += ' ';
    return text;
}

}  // namespace

StartRequest ParseStartArguments(const std::vector<std::string>& arguments) {
    StartRequest request;
    QStringList optionWords{"kelvor"};
    bool optionsEnded = false;
    for (const std::string& word : arguments) {
        if (!optionsEnded && word == "--")
            optionsEnded = true;
        else if (!optionsEnded && word.starts_with("--"))
            optionWords << QString::fromStdString(word);
        else
            request.Script.push_back(word);
    }
    QCommandLineParser parser;
    for (const WindowOption& o : kOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(o.Name), o.Description));
    if (!parser.parse(optionWords)) {
        request.What = StartRequest::Action::UsageError;
        request.Error = parser.errorText().toStdString();
    } else if (parser.isSet("help")) {
        request.What = StartRequest::Action::Help;
    } else if (parser.isSet("version")) {
        request.What = StartRequest::Action::Version;
    }
    return request;
}

std::string HelpText() {
    std::string text =
        "Usage: kelvor [OPTION]... [FILE|FOLDER|SWITCH]...\n"
        "Opens the window of " +
        std::string(about::kProductName) +
        ", the DV camcorder utility, lists the files and folders\n"
        "given and runs the script switches in their order once the window is shown.\n\n"
        "Options:\n";
    for (const WindowOption& o : kOptions)
        text += "  " + Padded(std::string("--") + o.Name, 12) + o.Description + "\n";
    text += "  " + Padded("--", 12) +
            "end of the options: every later word is a file, a folder or a switch\n"
            "The toolkit's own options (-platform NAME, -display NAME, -style NAME) are taken "
            "by Qt.\n\n"
            "Files and folders:\n"
            "  FILE        a video file to list (wildcards * and ? allowed); the first one given\n"
            "              becomes the current file, and the files are selected for the switches\n"
            "  FOLDER      its video files and those of its subfolders are listed, as \"Open a\n"
            "              folder\" does\n\n"
            "Script switches: +X, -X or /X (the letter in either case), X=VALUE where a value is\n"
            "needed; a command runs on the selected files:\n";
    const auto runnersOwn = [](char letter) {
        const auto& own = commands::SwitchMeanings();
        return std::any_of(own.begin(), own.end(), [letter](const commands::SwitchMeaning& m) {
            return m.Letter == letter;
        });
    };
    for (const commands::CommandInfo& c : commands::CommandTable()) {
        std::string shown;
        for (const char l : std::string_view(c.Letters))
            if (!runnersOwn(l))
                shown += (shown.empty() ? "+" : ",+") + std::string(1, l) + ValueName(l);
        if (shown.empty())
            continue;
        // The menu's wording; the table's own caption is the progress title.
        std::string caption = c.Action.Caption[0] ? c.Action.Caption : c.Caption;
        while (!caption.empty() && caption.back() == ' ')
            caption.pop_back();
        text += "  " + Padded(shown, 12) + caption + "\n";
    }
    for (const commands::SwitchMeaning& sw : commands::SwitchMeanings())
        text += "  " + Padded("+" + std::string(1, sw.Letter) + ValueName(sw.Letter), 12) +
                sw.Meaning + "\n";
    text +=
        "\nFiles:\n"
        "  $XDG_CONFIG_HOME/Quennel/Kelvor.conf  the preferences (XDG_CONFIG_HOME is ~/.config\n"
        "                                        when unset)\n"
        "  Kelvor.ini beside the program         the preferences instead, when that file exists\n"
        "\nExit status:\n"
        "  0  the window was closed, or the help or the version was printed\n"
        "  1  no display to open the window on, or the display named cannot be opened\n"
        "  2  the command line is refused (an unknown option)\n"
        "\nSee also kelvor-cli(1) and kelvor(1).\n";
    return text;
}

std::string VersionLine() {
    return std::string(about::kProductName) + " " + about::VersionText();
}

std::string NoDisplayLine() {
    return "kelvor: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
           "set); kelvor-cli works without one";
}

std::string UnreachableDisplayLine() {
    const auto shown = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(name) + "=" + (value ? value : "");
    };
    return "kelvor: the display cannot be opened (" + shown("DISPLAY") + ", " +
           shown("WAYLAND_DISPLAY") + ", " + shown("QT_QPA_PLATFORM") +
           "); kelvor-cli works without one";
}

bool DisplayNamed(const std::vector<std::string>& arguments,
                  const std::function<std::string(const char*)>& environment) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!environment(name).empty())
            return true;
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& a) { return a == "-platform" || a == "-display"; });
}

}  // namespace kelvor::app
