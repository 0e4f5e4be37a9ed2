// The program as the tests run it: the real modules in their order, the real window on the
// offscreen platform, preferences in a folder of the test, a desktop whose trash is a folder of
// the test, dialogs answered from a script, and real DV files from the fixtures.
#pragma once

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "core/files/DatePattern.h"
#include "core/shell/DesktopServices.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "ui/FileListModel.h"
#include "ui/MainWindow.h"
#include "ui/WindowDialogs.h"

namespace kelvor::ui::test {

namespace fs = std::filesystem;

// A desktop without side effects: the trash is a folder of the test, nothing is opened.
class TestDesktop : public shell::DesktopServices {
  public:
    explicit TestDesktop(fs::path trash) : trash_(std::move(trash)) {}
    bool RecycleFile(const std::string& path) override {
        std::error_code ec;
        fs::create_directories(trash_, ec);
        fs::rename(path, trash_ / fs::path(path).filename(), ec);
        return !ec;
    }
    void ShowInExplorer(const std::string& path) override { shown.push_back(path); }
    std::string DocumentsFolder() override { return trash_.parent_path().string(); }
    std::string OsVersionText() override { return "Test OS"; }
    bool CreateSendToShortcut(const std::string&) override { return false; }
    bool DeleteSendToShortcut(const std::string&) override { return false; }
    std::vector<std::string> FixedDrives() override { return drives; }
    LocaleInfo UserLocale() override { return EnglishLocale(); }
    bool OpenDocument(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    bool StartProgram(const std::string&, const std::vector<std::string>&) override {
        return false;
    }

    std::vector<std::string> drives;
    std::vector<std::string> shown;
    std::vector<std::string> opened;

  private:
    fs::path trash_;
};

// Dialogs answered in advance. A question nobody scripted fails the test and answers Cancel.
class ScriptedDialogs : public WindowDialogs {
  public:
    std::deque<commands::Answer> answers;
    std::vector<QString> questions;
    std::vector<bool> severalFiles;
    std::vector<QString> errors;
    std::deque<SaveAnswer> saveAnswers;
    std::vector<QString> saveQuestions;
    QStringList filesToOpen;
    QString folder;
    QString fileToOpen;
    QString fileToSave;
    std::vector<QString> folderTitles;
    // Repair dialogs: what they were opened on, and whether they are confirmed.
    std::vector<int> choicesShown;
    std::vector<double> valuesShown;
    std::vector<QString> codesShown;
    bool confirmRepair = true;
    // Called while a confirmation is up (on the UI thread), to press keys meanwhile.
    std::function<void()> duringConfirm;

    commands::Answer Confirm(QWidget*, const QString& text, bool several) override {
        questions.push_back(text);
        severalFiles.push_back(several);
        if (duringConfirm)
            duringConfirm();
        if (answers.empty()) {
            QTest::qFail(("unexpected question: " + text).toUtf8().constData(), __FILE__, __LINE__);
            return commands::Answer::Cancel;
        }
        const commands::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Error(QWidget*, const QString& text) override { errors.push_back(text); }
    SaveAnswer SavePreferences(QWidget*, const QString& text) override {
        saveQuestions.push_back(text);
        if (saveAnswers.empty())
            return SaveAnswer::No;
        const SaveAnswer a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return filesToOpen; }
    QString ChooseFolder(QWidget*, const QString& title, const QString&) override {
        folderTitles.push_back(title);
        return folder;
    }
    QString OpenFile(QWidget*, const QString&, const QString&) override { return fileToOpen; }
    QString SaveFile(QWidget*, const QString&, const QString&, const QString&) override {
        return fileToSave;
    }
    bool FrameRate(QWidget*, int& choice, double& fps) override {
        choicesShown.push_back(choice);
        valuesShown.push_back(fps);
        return confirmRepair;
    }
    bool Codec(QWidget*, int& choice, QString& code) override {
        choicesShown.push_back(choice);
        codesShown.push_back(code);
        return confirmRepair;
    }
    bool TimeDifference(QWidget*, double reference, double& shift) override {
        valuesShown.push_back(reference);
        shift = repairShift;
        return confirmRepair;
    }
    double repairShift = 0;
};

// One program run in a folder of its own.
class Session {
  public:
    explicit Session(std::vector<std::string> arguments = {},
                     std::function<void(settings::Preferences&)> preferences = {}) {
        fs::create_directories(dir / "config");
        auto env = std::make_unique<settings::PreferencesEnvironment>();
        env->Locations.ProgramFile = dir / "bin" / "kelvor";
        env->Locations.ConfigHome = dir / "config";
        env->ProgramRoot = "/";
        env->DocumentsFolder = (dir / "docs").string();
        env->Now = [] { return 45487.5; };  // 14 July 2024, noon
        if (preferences) {
            // Written as a stored preference file, so the window's own load at first show
            // finds them.
            settings::Preferences p;
            settings::LoadPreferences(p, *env);
            preferences(p);
            settings::StorePreferences(p, *env);
        }
        app::ProgramOptions options;
        options.Arguments = std::move(arguments);
        options.Env = std::move(env);
        options.Desktop = &desktop;
        program = std::make_unique<app::Program>(std::move(options));
        window().SetDialogs(&dialogs);
    }
    ~Session() {
        // Nothing is asked when a test's window goes.
        program->Prefs().SavePreferencesOnQuit = false;
        dialogs.saveAnswers.assign(8, SaveAnswer::No);
        program.reset();
    }

    MainWindow& window() { return program->Window(); }
    // Shows the window and lets its first show, first paint and activation run.
    void show() {
        window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        window().activateWindow();
        QTest::qWait(30);
    }

    std::string make(const std::string& name, const std::string& description) {
        const std::string path = (dir / name).string();
        fs::create_directories(fs::path(path).parent_path());
        std::string error;
        if (!fixtures::WriteDvFile(path, description, error))
            QTest::qFail(error.c_str(), __FILE__, __LINE__);
        return path;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }

    // The display names of the items in list order.
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (int i = 0; i < window().Items().Count(); ++i)
            out.push_back(window().Items().At(i).item.Text);
        return out;
    }
    void trigger(const char* action) {
        QAction* a = window().Action(action);
        if (!a)
            QTest::qFail((std::string("no action ") + action).c_str(), __FILE__, __LINE__);
        else
            a->trigger();
    }
    // Lets the event loop run until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()>& done, int ms = 20000) {
        return QTest::qWaitFor(done, ms);
    }
    // Waits for the end of the command run that is going on.
    bool waitForRun(int ms = 60000) {
        return waitFor([this] { return !window().RunActive(); }, ms);
    }

    kelvor::test::TempDir dir;
    TestDesktop desktop{dir / ".trash"};
    ScriptedDialogs dialogs;
    std::unique_ptr<app::Program> program;
};

// A short DV type 2 clip recorded at the given date and time ("2024-07-14T10:00:00").
inline std::string Clip(const std::string& date, int frames = 5) {
    return "type=2 frames=" + std::to_string(frames) + " date=" + date;
}

}  // namespace kelvor::ui::test
