// The window's side of its panels: the link through which the settings panel, the about panel
// and the scene editor reach the window, the preview and the desktop; the settings filled from
// the preferences and read back; the scene editor on the current file.
#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QTimer>
#include <QTreeView>

#include <filesystem>

#include "commands/CommandModule.h"
#include "core/scenes/ExportContext.h"
#include "core/scenes/SceneList.h"
#include "core/settings/PreferencesStore.h"
#include "core/shell/About.h"
#include "core/shell/DesktopServices.h"
#include "media/graphs/FilterCheck.h"
#include "ui/ActionTable.h"
#include "ui/CommandDialogs.h"
#include "ui/MainWindow.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/WindowDialogs.h"
#include "ui/panels/AboutPanel.h"
#include "ui/panels/RepairDialogs.h"
#include "ui/panels/RiffReportWindow.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"

namespace kelvor::ui {

class PanelsLink final : public QObject,
                         public SettingsHost,
                         public AboutSources,
                         public ScenePreview,
                         public settings::PreferencesHost {
  public:
    explicit PanelsLink(MainWindow& w) : QObject(&w), w_(w) {}

    // --- SettingsHost
    void SavePreferencesNow() override { w_.SavePreferences(); }
    void DeleteStoredPreferences() override { settings::DeletePreferences(w_.s_.Env, *this); }
    void ShowCurrentFileAgain() override {
        if (w_.current_)
            w_.preview_->Load(w_.current_.get());
    }
    void RefillShortcutTable() override { w_.fillShortcutTable(); }
    void ProgramChanged(int key, const QString& program) override {
        const QString caption =
            MainWindow::tr("Open with %1")
                .arg(QString::fromStdString(
                    std::filesystem::path(program.toStdString()).stem().string()));
        w_.setCaption(key == 3 ? "OpenWithF3" : "OpenWithF4", caption, -1);
    }
    void SendTo(bool create) override {
        if (create)
            w_.s_.Desktop.CreateSendToShortcut(about::kProductName);
        else
            w_.s_.Desktop.DeleteSendToShortcut(about::kProductName);
    }
    double CurrentFrameRate() const override { return w_.current_ ? w_.current_->Fps : 0; }
    bool AskTimeDifference(double current, double& difference) override {
        const double now = w_.s_.Env.Now ? w_.s_.Env.Now() : scenes::SystemLocalNow();
        const double tape = TimeDifferenceReference(w_.current_ ? w_.current_->Datecode : 0, now);
        double d = current;
        if (!w_.dialogs_->TimeDifference(&w_, tape, d))
            return false;
        difference = d;
        w_.lastDifference_ = d;
        return true;
    }
    void DateStyleChanged() override { w_.dateStyleChanged(); }
    void CloseSettings() override {
        if (QAction* a = w_.Action("Settings"); a && a->isChecked())
            a->trigger();
    }

    // --- AboutSources
    QString OsText() const override { return w_.osText_; }
    QString MediaEngineText() const override {
        return "FFmpeg " + QString::fromStdString(media::MediaEngineVersion());
    }
    QString VarnoltFile() const override {
        const QString f = QString::fromStdString(w_.s_.Prefs.VarnoltProgram);
        return !f.isEmpty() && QFile::exists(f) ? f : QString();
    }
    std::vector<ReportLine> RunCheck(bool busy) override {
        // The engine has one component per slot and nothing is rebound, so a check while a
        // conversion or the preview runs leaves their graphs alone.
        (void)busy;
        std::vector<ReportLine> lines;
        for (const media::ReportLine& l : media::FilterCheckReport(
                 media::ProbeEngineFilters(media::FilterCategory::DirectShowFilters),
                 media::ProbeEngineFilters(media::FilterCategory::VideoCompressors)))
            lines.push_back({QString::fromStdString(l.Text), l.Bold, l.Italic,
                             l.Red ? QColor(200, 0, 0) : QColor(Qt::black)});
        return lines;
    }

    // --- ScenePreview
    std::int32_t CurrentFrame() const override { return w_.preview_->CurrentFrame(); }
    void SeekFrame(std::int32_t frame) override { w_.preview_->SeekFrame(frame); }

    // --- PreferencesHost (deleting the stored preferences)
    bool askYesNo(settings::MessageKind, const std::string& text) override {
        return w_.dialogs_->Confirm(&w_, QString::fromStdString(text), false) ==
               commands::Answer::Yes;
    }
    void showMessage(settings::MessageKind, const std::string& text) override {
        w_.dialogs_->Error(&w_, QString::fromStdString(text));
    }

  private:
    MainWindow& w_;
};

void MainWindow::buildPanels() {
    link_ = new PanelsLink(*this);
    about_ = new AboutPanel(body_, versionText_, buildDateText_);
    about_->hide();
    about_->SetSources(link_);
    about_->Busy = [this] { return life_.RunActive() || preview_->Running(); };
    connect(about_, &AboutPanel::CloseClicked, this, [this] {
        if (QAction* a = Action("About"); a && a->isChecked())
            a->trigger();
    });
    settings_ = new SettingsPanel(body_, s_.Prefs);
    settings_->hide();
    settings_->SetHost(link_);
    settings_->SetPreview(preview_);
    settings_->SetIniFile(s_.Env.Locations.IniFile());
    settings_->SetVersionText(versionText_);
    editor_ = new SceneEditorPanel(body_);
    editor_->hide();
    editor_->SetPreview(link_);
    // The player's Ctrl keys reach the player from the scene list too (see eventFilter).
    editor_->List()->installEventFilter(this);
    editor_->AskSave = [this](const QString& text) {
        return dialogs_->Confirm(this, text, false) == commands::Answer::Yes;
    };
    // The repair dialogs live as long as the window; WindowDialogs finds them here.
    auto* timeShift = new TimeShiftDialog(this);
    timeShift->ShiftChanged = [this](double d) {
        preview_->SetInlayTimeShift(d);
        preview_->Redraw();
    };
    timeShift->AdvancedChanged = [this](bool on) { s_.Prefs.AdvancedTimeShift = on; };
    new FrameRateDialog(this);
    new CodecDialog(this);
}

void MainWindow::fillSettings() {
    settings_->SetPreview(preview_);
    settings_->Fill();
    if (auto* timeShift = findChild<TimeShiftDialog*>())
        timeShift->SetAdvanced(s_.Prefs.AdvancedTimeShift);
}

void MainWindow::readBackSettings() {
    settings_->ReadBack();
}

void MainWindow::takeKeysForSettings(bool take) {
    QAction* play = Action("PlayStop");
    QAction* remove = Action("RemoveFromList");
    if (!play || !remove)
        return;
    if (take) {
        heldPlayKeys_ = play->shortcuts();
        heldRemoveKeys_ = remove->shortcuts();
        play->setShortcuts({});
        remove->setShortcuts({});
    } else {
        play->setShortcuts(heldPlayKeys_);
        remove->setShortcuts(heldRemoveKeys_);
    }
}

void MainWindow::loadEditorScenes() {
    if (!current_)
        return;
    editor_->SetFrameRate(current_->Fps);
    editor_->SetScnType(s_.Prefs.ScnType);
    editor_->SetShortcutActions(
        {Action("PlayStop"), Action("RemoveFromList"), Action("PasteFiles"), Action("SelectAll")});
    const std::string& video = current_->FullName;
    std::error_code ec;
    if (std::filesystem::exists(scenes::ReplaceExtension(video, ".scn"), ec))
        editor_->LoadScenes(video);
    else
        editor_->InitScenes(video, current_->FrameCount);
}

void MainWindow::fillShortcutTable() {
    std::vector<CommandKeyRow> rows;
    for (QAction* a : actions_) {
        const ActionDef* d = FindActionDef(a->objectName().toStdString());
        const QKeySequence key = a->shortcut();
        rows.push_back({a->text(), key.toString(QKeySequence::NativeText),
                        d && d->Switch && *d->Switch ? static_cast<int>(*d->Switch) : 0});
    }
    settings_->FillShortcuts(rows);
}

}  // namespace kelvor::ui
