#include "commands/ListHost.h"

#include "commands/ListLoading.h"

namespace kelvor::commands {

void ListHost::SelectFile(const FileItem& file) {
    list_.Select(list_.FindItem(file.FullName()));
}

void ListHost::FileDone(RunKind, const FileItem& file, const Command&, const FileOutcome& outcome) {
    // A failed file changes nothing in the list, and the part a stopped conversion wrote is no
    // file for a script's next switches to take for a whole one.
    list_.ApplyUpdate(file.FullName(), outcome.ListedUpdate(), outcome.NewPath);
}

void ListHost::BeginLoading(const std::string&) {
    control_.KeepLoading = true;
    hadCurrent_ = list_.CurrentFile().has_value();
}

bool ListHost::AddFile(const std::string& path, bool select) {
    return list_.AddFile(path, select) >= 0;
}

void ListHost::EndLoading() {
    if (hadCurrent_ || list_.Count() == 0 || !list_.SelectedFiles().empty())
        return;
    list_.Select(0);
    list_.Focus(0);
}

bool ListHost::LoadPlaylist(const std::string& path) {
    const auto entries = PlaylistEntries(path);
    if (!entries)
        return false;
    BeginLoading("Open the playlist " + path);
    for (const std::string& entry : *entries) {
        if (!control_.KeepLoading)
            break;
        AddFile(entry, false);
    }
    EndLoading();
    return true;
}

}  // namespace kelvor::commands
