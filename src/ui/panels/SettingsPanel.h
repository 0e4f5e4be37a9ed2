// The settings panel: one control for almost every preference, over six tabs, and the table of
// commands with their keys and script letters. The panel keeps no settings of its own.
//
// One option table (options() in SettingsPanel.cpp) binds each option once: its preference
// field, the member that holds its control, how the value converts and whether the control
// writes its preference as soon as it changes or only at the read-back before a store. Fill
// walks the table setting every control, the constructor connects every "at once" control to
// the write of its row, and ReadBack walks it writing every control back; a new option is one
// row plus its control. A row may name a reaction of the control's own (the preview redrawn,
// an action renamed, the desktop entry made), which runs after its preference is written.
//
// UI thread only. The panel holds a reference to the program's preferences; what it needs of
// the window comes in through SettingsHost, what it needs of the preview through PreviewSlot.
#pragma once

#include <QFrame>
#include <QLineEdit>

#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "core/settings/Preferences.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

namespace kelvor::ui {

class PreviewSlot;

// A text field whose reaction runs when the user leaves it.
class ExitLineEdit final : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;
  signals:
    void Exited();

  protected:
    void focusOutEvent(QFocusEvent* event) override;
};

// What the panel asks of the window.
class SettingsHost {
  public:
    virtual ~SettingsHost() = default;
    // "Save the preferences now".
    virtual void SavePreferencesNow() = 0;
    // "Delete the preferences": removes the stored preferences (the store asks first).
    virtual void DeleteStoredPreferences() = 0;
    // The half-size preview changed: the current file is shown again.
    virtual void ShowCurrentFileAgain() = 0;
    // The sort order of the table changed: the window fills it again.
    virtual void RefillShortcutTable() = 0;
    // The F3 (3) or F4 (4) program changed: its action is renamed.
    virtual void ProgramChanged(int key, const QString& program) = 0;
    // Creates (true) or removes the desktop entry that offers the program for AVI files.
    virtual void SendTo(bool create) = 0;
    // Frames per second of the current file (0 without one).
    virtual double CurrentFrameRate() const = 0;
    // The time-difference dialog for the settings: true when confirmed, with its difference.
    virtual bool AskTimeDifference(double current, double& difference) = 0;
    // The "Close" button.
    virtual void CloseSettings() = 0;
    // The display format changed: the panel, the list and the scene captions show it at once.
    virtual void DateStyleChanged() {}
};

// One window action for the table of commands.
struct CommandKeyRow {
    QString Caption;
    QString Keys;  // the shortcut's text, such as "Ctrl+D"
    int Tag = 0;   // the script letter's code, 0 for none
};

class SettingsPanel final : public QFrame {
    Q_OBJECT
  public:
    SettingsPanel(QWidget* parent, settings::Preferences& prefs);
    static constexpr int kWidth = 640;

    void SetHost(SettingsHost* host) { host_ = host; }
    void SetPreview(PreviewSlot* preview) { preview_ = preview; }
    // Kelvor.ini beside the program, deleted when the normal store is chosen.
    void SetIniFile(std::filesystem::path ini) { ini_ = std::move(ini); }
    void SetVersionText(const QString& version) { version_ = version; }
    // Chooses the inlay font (name, size, colour, styles); false when cancelled.
    std::function<bool(settings::InlayFontSettings&)> ChooseFont;
    // Chooses a folder or a file, starting at the given place; empty when cancelled.
    std::function<QString(const QString& start)> ChooseFolder;
    std::function<QString(const QString& start)> ChooseFile;

    // Every control from its preference, by the option table.
    void Fill();
    // Every control into its preference, by the option table, before a store.
    void ReadBack();
    // The table of commands, in the window's action order, sorted by the preference.
    void FillShortcuts(const std::vector<CommandKeyRow>& actions);
    // The title label, set each time the panel is shown.
    void UpdateTitle();
    // "1 days 0h 30m 0s", or "-2h" in the short form.
    static QString ShiftText(double days, bool detailed);
    static QString WithDelimiter(const QString& folder);

    QTabWidget* Tabs() const { return tabs_; }
    QTableWidget* Table() const { return table_; }
    QLabel* ShiftLabel() const { return timeShiftLabel_; }

    // The controls, by their names, for the window's wiring and the tests.
    QCheckBox* savePrefsOnQuitBox;
    QCheckBox* openWithBox;
    QCheckBox* selectOnOpenBox;
    QCheckBox* saveListOnQuitBox;
    QCheckBox* halfSizeBox;
    QButtonGroup* storeGroup;
    QButtonGroup* dvAudioRateGroup;
    QButtonGroup* standardGroup;
    QButtonGroup* scnTypeGroup;
    QCheckBox* sortShortcutsBox;
    ExitLineEdit* renameRootEdit;
    ExitLineEdit* renameFormatEdit;
    ExitLineEdit* addDatecodeFormatEdit;
    ExitLineEdit* displayFormatEdit;
    QCheckBox* addBeforeNameBox;
    ExitLineEdit* inlayFormat1Edit;
    ExitLineEdit* inlayFormat2Edit;
    ExitLineEdit* openFolderEdit;
    ExitLineEdit* preferredFolderEdit;
    ExitLineEdit* playlistFolderEdit;
    QCheckBox* sameFolderBox;
    ExitLineEdit* saveFolderEdit;
    QPushButton* inlayFontButton;
    QCheckBox* standardFontSizeBox;
    QSpinBox* borderSpin;
    QButtonGroup* alignGroup;
    QButtonGroup* inlayWhatGroup;
    QCheckBox* inlayAutoBox;
    QButtonGroup* inlayWhenGroup;
    ExitLineEdit* inlayDurationEdit;
    QPushButton* advancedShiftButton;
    QLineEdit* varnoltProgramEdit;
    QLineEdit* f3ProgramEdit;
    QLineEdit* f4ProgramEdit;
    QPushButton* saveNowButton;
    QPushButton* deletePrefsButton;

  private:
    // One row of the option table, and the table itself.
    struct Option;
    static std::span<const Option> options();
    // Sets the row's control from its preference.
    void fillOption(const Option& o);
    // Writes the row's control into its preference.
    void readOption(const Option& o);
    // The row's control changed: its preference is written, then its reaction runs.
    void optionChanged(const Option& o);
    void connectOption(const Option& o);

    // The reactions the option table names.
    void storeChosen();
    void openWithChanged();
    void saveListChanged();
    void halfSizeChanged();
    void sortChanged();
    void inlayFormatsChanged();
    void displayFormatChanged();
    void enableDependents();
    void standardFontSizeChanged();
    void alignmentChanged();
    void inlayWhatChanged();
    void inlayAutoChanged();
    void inlayWhenChanged();
    void inlayDurationChanged();
    void f3ProgramChanged();
    void f4ProgramChanged();
    // Buttons that write their preference themselves.
    void inlayFontClicked();
    void advancedShiftClicked();

    void redraw();
    void passFont();
    QWidget* buildPreferences();
    QWidget* buildShortcuts();
    QWidget* buildFormats();
    QWidget* buildFolders();
    QWidget* buildInlay();
    QWidget* buildFiles();

    settings::Preferences& p_;
    SettingsHost* host_ = nullptr;
    PreviewSlot* preview_ = nullptr;
    std::filesystem::path ini_;
    QString version_;
    QTabWidget* tabs_;
    QTableWidget* table_ = nullptr;
    QLabel* timeShiftLabel_ = nullptr;
    QLabel* title_ = nullptr;
    QGroupBox* modeBox_ = nullptr;
    bool filling_ = false;
};

}  // namespace kelvor::ui
