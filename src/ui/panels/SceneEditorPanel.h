// The scene editor: the scene list of the file in the player, with renaming, inserting a scene
// at the shown frame, merging a scene into the previous one, renumbering, and saving as a scn
// file, a text list or a spreadsheet. It talks to the preview through ScenePreview.
//
// UI thread only.
#pragma once

#include <QFrame>
#include <QKeySequence>

#include <functional>
#include <string>
#include <vector>

#include "core/files/DatePattern.h"
#include "core/scenes/SceneList.h"

class QAction;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace kelvor::ui {

// What the editor needs of the preview: the frame shown, and a seek.
class ScenePreview {
  public:
    virtual ~ScenePreview() = default;
    virtual std::int32_t CurrentFrame() const = 0;
    virtual void SeekFrame(std::int32_t frame) = 0;
};

class SceneEditorPanel final : public QFrame {
    Q_OBJECT
  public:
    explicit SceneEditorPanel(QWidget* parent);

    void SetPreview(ScenePreview* preview) { preview_ = preview; }
    // Frames per second of the shown file, for the duration texts and the exports.
    void SetFrameRate(double fps) { fps_ = fps; }
    // "type scn": 1 narrow, 2 wide.
    void SetScnType(int typeScn) { typeScn_ = typeScn; }
    // The window's play/stop, remove-file, paste-files and select-all actions, whose keys are
    // taken away while the caption editor has the focus.
    void SetShortcutActions(std::vector<QAction*> actions) { actions_ = std::move(actions); }
    // The "Format pour Afficher Datecode" preference (what the scene finder writes its dates
    // with) and the locale: a caption holding its date in that stored text is shown in the
    // window's style; the stored caption itself is what a save writes.
    void SetDateStyle(std::string displayFormat, LocaleInfo locale);
    // Asks Yes or No; the window's warning by default.
    std::function<bool(const QString&)> AskSave;

    void LoadScenes(const std::string& videoName);
    void InitScenes(const std::string& videoName, std::int32_t frameCount);
    bool SaveScenes();
    bool SaveScenesText();
    bool SaveScenesSpreadsheet();
    void InsertScene();
    void CutScene();
    void FixTitles();
    std::int32_t NextSceneStart(std::int32_t frame, std::int32_t fallback) const;
    std::int32_t PreviousSceneStart(std::int32_t frame) const;
    void ShowEditor();
    void HideEditor();
    // At every tick of the player: highlights the scene that holds the frame, while following.
    void FollowFrame(std::int32_t frame);

    const scenes::SceneList& Scenes() const { return scenes_; }
    bool Modified() const { return modified_; }
    const std::string& VideoName() const { return video_; }
    QListWidget* List() const { return lb_; }
    QLineEdit* Editor() const { return valueEdit_; }
    void Select(int row);
    void ApplyCaption();
    bool Following() const { return following_; }

    static QString SaveQuestion();

  signals:
    void Hidden();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refill(int select);
    // The caption as the list and the caption editor show it.
    QString shownCaption(std::size_t scene) const;
    void showCaption(const QString& caption);
    // The row of the scene that holds the preview's frame.
    int shownScene() const;
    void itemClicked(int row);

    QListWidget* lb_;
    QLineEdit* valueEdit_;
    QToolButton* insertButton_;
    QToolButton* mergeButton_;
    QToolButton* fixButton_;
    QToolButton* saveTextButton_;
    QToolButton* saveXlsxButton_;
    QToolButton* saveScnButton_;
    ScenePreview* preview_ = nullptr;
    scenes::SceneList scenes_;
    std::string video_;
    double fps_ = 25;
    int typeScn_ = 1;
    std::string displayFormat_;
    LocaleInfo locale_ = EnglishLocale();
    bool modified_ = false;
    bool following_ = false;
    std::vector<QAction*> actions_;
    std::vector<QList<QKeySequence>> savedKeys_;
};

}  // namespace kelvor::ui
