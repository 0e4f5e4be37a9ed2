// A host whose list is a FileList: the list operations of the scripts and the list updates of
// the runs, for the front ends that have no list widget of their own (kelvor-cli, the tests).
// The rest of the host (questions, progress, what the mono commands need) is theirs.
//
// The list is touched by the thread that calls: the front end's while it runs a script, the
// worker's while the front end waits for the run, never both at once.
#pragma once

#include "commands/CommandHost.h"
#include "commands/FileList.h"
#include "commands/RunControl.h"

namespace kelvor::commands {

class ListHost : public CommandHost {
  public:
    ListHost(FileList& list, RunControl& control) : list_(list), control_(control) {}

    void SelectFile(const FileItem& file) override;
    void FileDone(RunKind kind, const FileItem& file, const Command& command,
                  const FileOutcome& outcome) override;

    void BeginLoading(const std::string& status) override;
    bool AddFile(const std::string& path, bool select) override;
    void EndLoading() override;
    bool LoadPlaylist(const std::string& path) override;
    void EmptyList() override { list_.Clear(); }
    void SelectAll() override { list_.SelectAll(); }
    void UnselectAll() override { list_.UnselectAll(); }
    std::vector<FileItem> SelectedFiles() override { return list_.SelectedFiles(); }
    std::optional<FileItem> CurrentFile() override { return list_.CurrentFile(); }

  protected:
    FileList& list_;
    RunControl& control_;

  private:
    bool hadCurrent_ = false;
};

}  // namespace kelvor::commands
