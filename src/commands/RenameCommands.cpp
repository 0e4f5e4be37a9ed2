// The rename and file-date commands: names from the datecode, the timecode or a root, the
// shortened name, and the file's modification time from the datecode.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "commands/FileRename.h"
#include "core/files/DateTime.h"
#include "core/files/DisplayStyle.h"
#include "core/scenes/SceneList.h"

namespace kelvor::commands {
namespace {

// How often a rename that loses its name to another process tries the next free one.
constexpr int kMaxRenameAttempts = 100;
// The characters a file name cannot hold on the systems the videos travel to.
constexpr std::string_view kForbidden = "<>:\"/\\|";
// The files beside a video that carry its name and follow it when it is renamed.
constexpr std::array<std::string_view, 2> kCompanions = {".scn", ".srt"};

bool HasText(const std::string& text) {
    return text != "N/A" && text != "Error" && text != "-";
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension a renamed file keeps: ".avi" for an AVI name in any case, as the renames always
// wrote it, else the file's own (".dv", ".DIF"; none for a raw DV file named without one).
std::string ExtensionOf(const files::FileRecord& f) {
    const std::string name = NameOf(f.FullName);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    std::string ext = name.substr(dot);
    std::string lower = ext;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower == ".avi" ? lower : ext;
}

// FullName without its extension.
std::string BaseOf(const files::FileRecord& f) {
    return f.FullName.substr(0, f.FullName.size() - ExtensionOf(f).size());
}

// The name part of base without what the conversions and renames appended.
std::string Shortened(std::string name) {
    static constexpr std::string_view kSuffixes[] = {"type2", "type1", "in", "ntsc",
                                                     "pal",   "am",    "pm", "dvtype2"};
    for (int guard = 0; guard < 4096; ++guard) {
        const std::size_t at = name.find_last_of('_');
        if (at == std::string::npos)
            break;
        std::string seg = name.substr(at + 1);
        for (char& c : seg)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        const std::size_t first = seg.find_first_not_of(' ');
        seg = first == std::string::npos ? std::string()
                                         : seg.substr(first, seg.find_last_not_of(' ') - first + 1);
        bool letters = false;
        for (const char c : seg)
            letters = letters || (c >= 'a' && c <= 'z');
        const bool removable =
            std::find(std::begin(kSuffixes), std::end(kSuffixes), seg) != std::end(kSuffixes) ||
            (!seg.empty() && seg.front() == '(' && seg.back() == ')') || !letters;
        if (!removable)
            break;
        name.erase(at);
    }
    return name;
}

}  // namespace

std::string CommandModule::datecodeBase(const files::FileRecord& f) const {
    std::string text =
        FormatDateTime(s_.Prefs.AddDatecodeFormat, f.Datecode + s_.Prefs.TimeShift, s_.Locale);
    for (char& c : text)
        if (kForbidden.find(c) != std::string_view::npos)
            c = '.';
    const std::string base = BaseOf(f);
    if (s_.Prefs.AddBeforeName)
        return FolderOf(base) + text + "_" + NameOf(base);
    return base + "_" + text;
}

std::string CommandModule::timecodeBase(const files::FileRecord& f) const {
    const std::string base = BaseOf(f);
    if (s_.Prefs.AddBeforeName)
        return FolderOf(base) + f.TimecodeText + "_" + NameOf(base);
    return base + "_" + f.TimecodeText;
}

std::string CommandModule::rootBase(const files::FileRecord& f) const {
    return FolderOf(f.FullName) + s_.Prefs.RenameRoot +
           FormatDateTime(s_.Prefs.RenameFormat, f.Datecode + s_.Prefs.TimeShift, s_.Locale);
}

std::string CommandModule::shortenedBase(const files::FileRecord& f) const {
    const std::string base = BaseOf(f);
    return FolderOf(base) + Shortened(NameOf(base));
}

std::string CommandModule::freeBase(const std::string& proposed,
                                    const std::string& extension) const {
    // A name is free only when the video's companions are free under it too: a renamed video
    // must neither leave its scn behind nor adopt another video's.
    const auto taken = [&](const std::string& base) {
        for (const std::string& path : {base + extension, base + std::string(kCompanions[0]),
                                        base + std::string(kCompanions[1])})
            if (PathTaken(path) || dryRunTaken_.count(path) != 0)
                return true;
        return false;
    };
    return FirstFreeBase(proposed, taken);
}

void CommandModule::moveCompanions(const files::FileRecord& f, const std::string& newBase,
                                   ExecutionResult& result) {
    std::vector<std::pair<std::string, std::string>> moved{{f.FullName, result.NewFile}};
    for (const std::string_view companion : kCompanions) {
        const std::string from = scenes::ReplaceExtension(f.FullName, companion);
        if (!PathTaken(from))
            continue;
        const std::string to = newBase + std::string(companion);
        int error = 0;
        const RenameStatus status = RenameNoReplace(from, to, &error);
        if (status == RenameStatus::Renamed) {
            moved.emplace_back(from, to);
            continue;
        }
        // The video and its companions keep their names together, or none changes.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            RenameNoReplace(it->second, it->first);
        result.update = ListUpdate::None;
        result.NewFile.clear();
        result.failure = FormatText(
            Translate("kelvor::commands", "cannot rename %s to %s: %s; %s keeps its name"),
            {NameOf(from), NameOf(to),
             status == RenameStatus::TargetExists
                 ? Translate("kelvor::commands", "the name is taken")
                 : std::string(std::strerror(error)),
             NameOf(f.FullName)});
        return;
    }
}

void CommandModule::renameTo(const files::FileRecord& f, const std::string& proposed,
                             ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    // Only the file's own name may change: a text that names another folder is refused.
    if (FolderOf(proposed) != FolderOf(f.FullName)) {
        result.failure =
            Translate("kelvor::commands", "the new name holds a character a file name cannot hold");
        return;
    }
    const std::string ext = ExtensionOf(f);
    if (DryRun) {
        const std::string path = freeBase(proposed, ext) + ext;
        dryRunTaken_.insert(path);
        result.NewFile = path;
        return;
    }
    for (int attempt = 0; attempt < kMaxRenameAttempts; ++attempt) {
        const std::string candidate = freeBase(proposed, ext);
        int error = 0;
        const RenameStatus status = RenameNoReplace(f.FullName, candidate + ext, &error);
        if (status == RenameStatus::TargetExists)
            continue;  // another process took the name since: the next free one
        if (status == RenameStatus::Failed) {
            result.failure = FormatText(Translate("kelvor::commands", "cannot rename to %s: %s"),
                                        {NameOf(candidate) + ext, std::strerror(error)});
            return;
        }
        result.update = ListUpdate::Rename;
        result.NewFile = candidate + ext;
        moveCompanions(f, candidate, result);
        return;
    }
    result.failure = FormatText(Translate("kelvor::commands", "cannot find a free name for %s"),
                                {NameOf(proposed) + ext});
}

void CommandModule::addDatecodeAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                         bool& enabled) {
    // A file without a recording date (not a video, or a video without one) gets none invented.
    visible = enabled = f.DatecodeValid;
}

void CommandModule::addDatecodeConfirm(CommandParam&, const files::FileRecord& f,
                                       std::string& msg) {
    const std::string to = NameOf(freeBase(datecodeBase(f), ExtensionOf(f))) + ExtensionOf(f);
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands",
                              "Do you want to add a datecode to '%s'\r\nand rename it to '%s'?"),
                    {f.Name, to}),
         FormatText(Translate("kelvor::commands",
                              "Do you want to add a datecode to this filename and rename it "
                              "to\r\n'%s'?"),
                    {to}),
         Translate("kelvor::commands", "Do you want to add a datecode to this file?")});
}

void CommandModule::addDatecodeExecute(CommandParam&, const files::FileRecord& f,
                                       ExecutionResult& result) {
    renameTo(f, datecodeBase(f), result);
}

void CommandModule::addTimecodeAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                         bool& enabled) {
    visible = enabled = HasText(f.TimecodeText);
}

void CommandModule::addTimecodeConfirm(CommandParam&, const files::FileRecord& f,
                                       std::string& msg) {
    const std::string to = freeBase(timecodeBase(f), ExtensionOf(f)) + ExtensionOf(f);
    msg = FirstFitting(
        {FormatText(
             Translate(
                 "kelvor::commands",
                 "Do you really want to add its timecode to the file '%s'\r\nand rename it to "
                 "'%s'?"),
             {f.FullName, to}),
         FormatText(
             Translate(
                 "kelvor::commands",
                 "Do you really want to add its timecode to the file \r\nand rename it to '%s'?"),
             {to}),
         Translate("kelvor::commands", "Do you really want to add its timecode to the file?")});
}

void CommandModule::addTimecodeExecute(CommandParam&, const files::FileRecord& f,
                                       ExecutionResult& result) {
    renameTo(f, timecodeBase(f), result);
}

void CommandModule::renameToDateConfirm(CommandParam&, const files::FileRecord& f,
                                        std::string& msg) {
    const std::string to = NameOf(freeBase(rootBase(f), ExtensionOf(f))) + ExtensionOf(f);
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands", "Do you want to rename the file  '%s' in '%s'?"),
                    {f.Name, to}),
         FormatText(Translate("kelvor::commands", "Do you want to rename this file in '%s'?"),
                    {to}),
         Translate("kelvor::commands", "Do you want to rename this file à Scenalyser?")});
}

void CommandModule::renameToDateExecute(CommandParam&, const files::FileRecord& f,
                                        ExecutionResult& result) {
    // Unlike the datecode rename, this one replaces no character: a format that writes one a
    // file name cannot hold (on the systems the videos travel to) makes the rename fail.
    const std::string proposed = rootBase(f);
    if (NameOf(proposed).find_first_of(kForbidden) != std::string::npos ||
        FolderOf(proposed) != FolderOf(f.FullName)) {
        result.NewFile.clear();
        result.update = ListUpdate::None;
        result.failure =
            Translate("kelvor::commands", "the new name holds a character a file name cannot hold");
        return;
    }
    renameTo(f, proposed, result);
}

void CommandModule::shortenNameAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                         bool& enabled) {
    const std::string name = NameOf(BaseOf(f));
    visible = enabled = name.find('_') != std::string::npos && Shortened(name) != name;
}

void CommandModule::shortenNameConfirm(CommandParam&, const files::FileRecord& f,
                                       std::string& msg) {
    const std::string to = NameOf(freeBase(shortenedBase(f), ExtensionOf(f))) + ExtensionOf(f);
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands",
                              "Do you want to shorten the name of '%s'\r\nand rename it to '%s'?"),
                    {f.Name, to}),
         FormatText(
             Translate("kelvor::commands",
                       "Do you want to shorten the name of this file and rename it to\r\n'%s'?"),
             {to}),
         Translate("kelvor::commands", "Do you want to shorten the name of this file?")});
}

void CommandModule::shortenNameExecute(CommandParam&, const files::FileRecord& f,
                                       ExecutionResult& result) {
    renameTo(f, shortenedBase(f), result);
}

void CommandModule::setFileDateConfirm(CommandParam&, const files::FileRecord& f,
                                       std::string& msg) {
    // The question shows the dates in the window's one style, as the panel does.
    const auto F = [&](double value) {
        return files::DisplayDateTime(value, s_.Prefs.DisplayDatecodeFormat, s_.Locale);
    };
    const std::string dates =
        std::string("\r\n\r\n") + Translate("kelvor::commands", "Old creation date: ") +
        F(f.Created) + "\r\n" + Translate("kelvor::commands", "Old modified date:  ") +
        F(f.Modified) + "\r\n" + Translate("kelvor::commands", "New date : ") + F(f.Datecode);
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands",
                              "Do you really want to modify the dates of the file '%s'"),
                    {f.Name}) +
             dates,
         Translate("kelvor::commands", "Do you really want to modify the dates of this file?") +
             dates});
}

void CommandModule::setFileDateExecute(CommandParam&, const files::FileRecord& f,
                                       ExecutionResult& result) {
    result.NewFile = f.FullName;
    result.update = ListUpdate::Modify;
    if (!f.DatecodeValid) {
        result.failure = Translate("kelvor::commands", "the file has no recording date");
        return;
    }
    // The datecode as local time, without the time difference used for names.
    const std::optional<double> utc = LocalToUtc(f.Datecode);
    if (!utc) {
        result.failure =
            Translate("kelvor::commands", "the datecode is not a time this system can set");
        return;
    }
    const double unix = UnixFromDateTime(*utc);
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;  // the access time stays
    times[1].tv_sec = static_cast<time_t>(std::floor(unix));
    times[1].tv_nsec =
        static_cast<long>(std::llround((unix - std::floor(unix)) * 1000.0)) * 1000000;
    if (times[1].tv_nsec >= 1000000000) {
        times[1].tv_sec += 1;
        times[1].tv_nsec -= 1000000000;
    }
    struct stat before {};
    if (::stat(f.FullName.c_str(), &before) != 0) {
        result.failure =
            Translate("kelvor::commands", "the file date cannot be set: ") + std::strerror(errno);
        return;
    }
    s_.Host.ReleasePreview(f.FullName);
    struct stat after {};
    if (::utimensat(AT_FDCWD, f.FullName.c_str(), times, 0) != 0) {
        result.failure =
            Translate("kelvor::commands", "the file date cannot be set: ") + std::strerror(errno);
    } else if (::stat(f.FullName.c_str(), &after) != 0 ||
               std::llabs(static_cast<long long>(after.st_mtim.tv_sec) -
                          static_cast<long long>(times[1].tv_sec)) > 2) {
        // A file system clamps a date outside its range without an error; a clamped date is a
        // false one, so the old date comes back. Up to 2 s is the granularity of some systems.
        const struct timespec old[2] = {{0, UTIME_OMIT}, before.st_mtim};
        ::utimensat(AT_FDCWD, f.FullName.c_str(), old, 0);
        result.failure = Translate("kelvor::commands", "the file system cannot hold the date ") +
                         FormatDateTime("yyyy-mm-dd hh:nn:ss", f.Datecode, s_.Locale);
    }
    s_.Host.TakeBackPreview(f.FullName, false);
}

}  // namespace kelvor::commands
