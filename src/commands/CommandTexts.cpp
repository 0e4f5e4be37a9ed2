#include "commands/CommandTexts.h"

#include <sys/stat.h>

#include <QCoreApplication>

#include "core/files/DateTime.h"

#include <cmath>
#include <cstdio>

namespace kelvor::commands {

std::string Translate(const char* context, const char* text) {
    return QCoreApplication::translate(context, text).toStdString();
}

std::size_t TextLength(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

bool FitsMessage(std::string_view text) {
    return TextLength(text) < kMessageLimit;
}

std::string FirstFitting(std::initializer_list<std::string> forms) {
    std::string last;
    for (const std::string& f : forms) {
        if (FitsMessage(f))
            return f;
        last = f;
    }
    return last;
}

std::string FormatText(std::string_view format, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const char conversion = format[i + 1];
        if (conversion == '%') {
            out += '%';
            ++i;
        } else if ((conversion == 's' || conversion == 'd') && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ConversionOutputPath(const files::FileRecordMedia& video, std::string_view suffix,
                                 const settings::Preferences& prefs) {
    const std::string& from = prefs.SaveInSameFolder ? video.FullName : video.Name;
    const std::size_t slash = from.find_last_of('/');
    const std::size_t dot = from.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string named = (hasExtension ? from.substr(0, dot) : from) + std::string(suffix);
    if (prefs.SaveInSameFolder)
        return named;
    // The folder may be stored with or without its closing slash.
    std::string folder = prefs.SaveFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + named;
}

int AudioTextRate(const std::string& audioText) {
    std::string head = audioText.substr(0, 5);
    while (!head.empty() && head.front() == ' ')
        head.erase(head.begin());
    while (!head.empty() && head.back() == ' ')
        head.pop_back();
    if (head.empty())
        return 0;
    int rate = 0;
    for (char ch : head) {
        if (ch < '0' || ch > '9')
            return 0;
        rate = rate * 10 + (ch - '0');
    }
    return rate;
}

std::string TimeDifferenceSuffix(double days) {
    const std::string sign = days >= 0 ? "+" : "-";
    const double a = std::fabs(days);
    const double whole = std::floor(a);
    std::string text;
    if (whole > 0)
        text = std::to_string(static_cast<long long>(whole)) + "days";
    // The time of day of the fraction, to the millisecond.
    const long long ms = std::llround((a - whole) * static_cast<double>(kMillisecondsPerDay));
    const long long hours = ms / 3600000, minutes = ms / 60000 % 60, seconds = ms / 1000 % 60;
    if (hours != 0)
        text += std::to_string(hours) + "h";
    if (minutes != 0)
        text += std::to_string(minutes) + "mn";
    if (seconds != 0)
        text += std::to_string(seconds) + "s";
    return "_(" + sign + text + ")" + ".avi";
}

std::string SameContainerSuffix(const files::FileRecordMedia& video, std::string_view aviSuffix) {
    constexpr std::string_view kAvi = ".avi";
    std::string suffix(aviSuffix);
    if (video.Container == files::ContainerKind::RawDv && suffix.ends_with(kAvi))
        suffix.replace(suffix.size() - kAvi.size(), kAvi.size(), ".dv");
    return suffix;
}

std::string ReplaceQuestion(const std::string& outputPath, std::string_view shortForm) {
    struct stat st {};
    if (::stat(outputPath.c_str(), &st) != 0)
        return {};
    return FirstFitting(
        {FormatText(Translate("kelvor::commands", "Do you want to replace the existing file %s ?"),
                    {outputPath}),
         shortForm.empty()
             ? Translate("kelvor::commands", "Do you want to replace the existing file ?")
             : std::string(shortForm)});
}

std::string ConfirmationDialogText(const std::string& message, bool severalFiles) {
    if (!severalFiles)
        return message;
    return message + "\r\n" +
           Translate("kelvor::commands",
                     "If you type \"Yes to All\" or \"No to All\" then no more "
                     "confimation will be asked for.");
}

std::string FileErrorText(std::string_view progressMessage, const std::string& fullPath) {
    return FormatText(
        Translate("kelvor::commands",
                  "An error occured while \r\n%s.\r\n\r\nPlease check at least if the "
                  "source file exists, if the destination disk is full "
                  "or the destination folder is read-only."),
        {FormatText(progressMessage, {fullPath})});
}

std::string FpsText(double fps) {
    char buf[64];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, fps);
        double back = 0;
        if (std::sscanf(buf, "%lf", &back) == 1 && back == fps)
            break;
    }
    return buf;
}

std::string IncompleteText(std::int64_t framesWritten, std::int64_t framesDue) {
    if (framesWritten < 0)
        return Translate("kelvor::commands", "incomplete");
    if (framesDue < 0)
        return FormatText(Translate("kelvor::commands", "incomplete: %d frames"),
                          {std::to_string(framesWritten)});
    return FormatText(Translate("kelvor::commands", "incomplete: %d of %d frames"),
                      {std::to_string(framesWritten), std::to_string(framesDue)});
}

std::string OneLine(std::string_view text, std::string_view with) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += with;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace kelvor::commands
