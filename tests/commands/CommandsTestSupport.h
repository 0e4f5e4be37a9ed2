// The command module with a scripted host: the answers a test gives in advance, every host call
// written down as an event, hooks that let a test press Esc or Shift+Esc at a chosen moment, a
// trash that moves files into a folder of the test, and real DV files from the fixtures.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "commands/CommandModule.h"
#include "commands/ListHost.h"
#include "commands/ScriptRunner.h"
#include "commands/Workers.h"
#include "core/avi/AviHeaderPatcher.h"
#include "core/shell/DesktopServices.h"
#include "fixtures/DvFixture.h"
#include "media/graphs/ConversionGraphs.h"
#include "media/graphs/ProbeGraph.h"
#include "support/TempDir.h"

namespace kelvor::commands::test {

namespace fs = std::filesystem;

// A trash that is a folder of the test.
class FolderTrash : public shell::DesktopServices {
  public:
    explicit FolderTrash(fs::path folder) : folder_(std::move(folder)) {}
    bool RecycleFile(const std::string& path) override {
        std::error_code ec;
        fs::create_directories(folder_, ec);
        fs::rename(path, folder_ / fs::path(path).filename(), ec);
        if (!ec)
            recycled.push_back(path);
        return !ec;
    }
    void ShowInExplorer(const std::string&) override {}
    std::string DocumentsFolder() override { return folder_.string(); }
    std::string OsVersionText() override { return "test"; }
    bool CreateSendToShortcut(const std::string&) override { return false; }
    bool DeleteSendToShortcut(const std::string&) override { return false; }
    std::vector<std::string> FixedDrives() override { return {}; }
    LocaleInfo UserLocale() override { return EnglishLocale(); }
    bool OpenDocument(const std::string&) override { return false; }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override {
        return false;
    }

    std::vector<std::string> recycled;

  private:
    fs::path folder_;
};

class ScriptedHost : public ListHost {
  public:
    using ListHost::ListHost;

    // The answers to give, in order; a question without an answer left fails the test.
    std::deque<Answer> answers;
    // Every call, as "select a.avi", "confirm a.avi", "skip a.avi", "start a.avi", "done a.avi",
    // "error a.avi", "batch".
    std::vector<std::string> events;
    std::vector<Question> questions;
    std::vector<std::string> statuses;
    std::vector<std::pair<std::string, FileOutcome>> outcomes;
    std::vector<std::pair<std::string, std::string>> skipped;
    // The script switches refused, as (switch, why).
    std::vector<std::pair<std::string, std::string>> refused;
    std::vector<std::int64_t> progress;
    std::vector<RunKind> batches;
    // Hooks on the worker's thread.
    std::function<void(const FileItem&)> onStarted;
    std::function<void(std::int64_t)> onProgress;
    std::function<void(const FileItem&)> onConfirm;
    // Before the list re-reads the file.
    std::function<void(const FileItem&)> onDone;
    // What the mono commands asked for.
    std::vector<std::pair<std::string, std::vector<std::string>>> programs;
    std::vector<std::string> riffReports;
    std::vector<std::string> inlay;  // "inlay on", "sliders on", ...
    std::vector<std::string> preview;

    static std::string name(const FileItem& f) { return fs::path(f.FullName()).filename(); }

    void SelectFile(const FileItem& f) override {
        events.push_back("select " + name(f));
        ListHost::SelectFile(f);
    }
    Answer Confirm(const FileItem& f, const Question& q) override {
        events.push_back("confirm " + name(f));
        questions.push_back(q);
        if (onConfirm)
            onConfirm(f);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << q.Message;
            return Answer::Cancel;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void FileSkipped(const FileItem& f, SkipReason, const std::string& why) override {
        events.push_back("skip " + name(f));
        skipped.emplace_back(name(f), why);
    }
    void FileStarted(const FileItem& f, const std::string& status) override {
        events.push_back("start " + name(f));
        statuses.push_back(status);
        if (onStarted)
            onStarted(f);
    }
    void Progress(std::int64_t percent) override {
        progress.push_back(percent);
        if (onProgress)
            onProgress(percent);
    }
    void FileDone(RunKind kind, const FileItem& f, const Command& c,
                  const FileOutcome& o) override {
        events.push_back("done " + name(f));
        outcomes.emplace_back(name(f), o);
        if (onDone)
            onDone(f);
        ListHost::FileDone(kind, f, c, o);
    }
    void FileError(const FileItem& f, const Command&, const std::string&) override {
        events.push_back("error " + name(f));
    }
    void SwitchRefused(const std::string& text, const std::string& why) override {
        refused.emplace_back(text, why);
    }
    void BatchDone(RunKind kind) override {
        events.push_back("batch");
        batches.push_back(kind);
    }
    void ReleasePreview(const std::string& p) override { preview.push_back("release " + p); }
    void TakeBackPreview(const std::string& p, bool reload) override {
        preview.push_back((reload ? "reload " : "take back ") + p);
    }
    bool ShowRiffReport(const std::string& path) override {
        riffReports.push_back(path);
        return true;
    }
    bool ShowInFileManager(const std::string& path) override {
        programs.push_back({"file manager", {path}});
        return true;
    }
    bool OpenDocument(const std::string& path) override {
        programs.push_back({"open", {path}});
        return true;
    }
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override {
        programs.push_back({program, args});
        return true;
    }
    bool SetPreviewInlay(bool on) override {
        inlay.push_back(on ? "inlay on" : "inlay off");
        return true;
    }
    bool SetInlaySliders(bool visible, bool volume) override {
        inlay.push_back(std::string(visible ? "sliders on" : "sliders off") +
                        (volume ? " volume" : ""));
        return true;
    }
};

// The modules of one front end, as the program entry makes them.
struct Commands {
    kelvor::test::TempDir dir;
    settings::Preferences prefs;
    media::ProbeGraph probe;
    media::ConversionGraphs graphs;
    avi::AviHeaderPatcher patcher;
    FolderTrash trash{dir / ".trash"};
    RunControl control;
    FileList list{probe, files::RecordSettings{}, 1, false};  // alphabetical
    ScriptedHost host{list, control};
    CommandModule commandModule{
        CommandServices{prefs, graphs, patcher, trash, host, EnglishLocale()}};

    Commands() {
        commandModule.Start();
        commandModule.LinkCommands();
    }
    WorkerServices services() { return {host, control, commandModule, graphs}; }

    // A DV file from a fixture description, in the test's folder.
    std::string make(const std::string& name, const std::string& description) {
        const std::string path = (dir / name).string();
        std::string error;
        std::filesystem::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
        return path;
    }
    // Adds the files to the list, selected.
    void select(const std::vector<std::string>& paths) {
        for (const std::string& p : paths)
            EXPECT_GE(list.AddFile(p, true), 0) << p;
    }
    // Runs the command on the selected files with the worker its table entry names, and waits.
    void run(const std::string& command) {
        Command* c = commandModule.Find(command);
        ASSERT_NE(c, nullptr) << command;
        ScriptRunner(services()).RunCommand(*c);
    }
    void run(const Command& c) { ScriptRunner(services()).RunCommand(c); }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    bool exists(const std::string& name) const { return fs::exists(dir / name); }
};

}  // namespace kelvor::commands::test
