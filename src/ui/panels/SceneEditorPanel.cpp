#include "ui/panels/SceneEditorPanel.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/files/DisplayStyle.h"
#include "core/files/FormatTexts.h"
#include "core/files/StoredDateText.h"
#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/scenes/TextWriters.h"

namespace kelvor::ui {
namespace {

const std::string kDurationMark = std::string(scenes::kCaptionSeparator) + "Duration" + " = ";

QToolButton* Tool(QToolBar* bar, const QString& name, const QString& text, const QString& hint,
                  QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setIcon(bar->style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->addWidget(b);
    return b;
}

}  // namespace

QString SceneEditorPanel::SaveQuestion() {
    return QString::fromUtf8(
        "Voulez-vous enregistrer les modifications faites dans le fichier scn?\r\n"
        "Si vous répondez non, toutes les modifications faites après le dernier enregistrement "
        "seront perdues.");
}

SceneEditorPanel::SceneEditorPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("SceneEditorPanel");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(18, 18));
    insertButton_ =
        Tool(bar, "InsertButton", tr("Insert"), tr("Insert a scene starting at the current frame"),
             QStyle::SP_FileDialogNewFolder);
    mergeButton_ = Tool(bar, "MergeButton", tr("Cut"),
                        tr("Delete this scene by merging it with the previous one\r\n"
                           "The first scene cannot be deleted"),
                        QStyle::SP_DialogDiscardButton);
    fixButton_ =
        Tool(bar, "FixButton", tr("Fix"), tr("Fix the rank number of scenes and their duration"),
             QStyle::SP_BrowserReload);
    saveTextButton_ =
        Tool(bar, "SaveTextButton", tr("Text"),
             tr("Save the scenes in a text file\r\ncalled *_scn.txt in the same folder as the "
                "video"),
             QStyle::SP_FileIcon);
    saveXlsxButton_ =
        Tool(bar, "SaveXlsxButton", tr("Sheet"),
             tr("Save the scenes in a spreadsheet\r\nin the same folder as the video"),
             QStyle::SP_FileDialogDetailedView);
    saveScnButton_ = Tool(bar, "SaveScnButton", tr("Save"),
                          tr("Save the scenes in a scn file\r\nin the same folder as the video"),
                          QStyle::SP_DialogSaveButton);
    column->addWidget(bar);
    lb_ = new QListWidget(this);
    lb_->setObjectName("List");
    lb_->viewport()->installEventFilter(this);
    column->addWidget(lb_, 1);
    auto* row = new QHBoxLayout;
    valueEdit_ = new QLineEdit(this);
    valueEdit_->setObjectName("ValueEdit");
    valueEdit_->installEventFilter(this);
    auto* apply = new QPushButton(tr("Apply"), this);
    apply->setObjectName("ApplyButton");
    apply->setToolTip(tr("Write the caption into the selected scene"));
    row->addWidget(valueEdit_, 1);
    row->addWidget(apply);
    column->addLayout(row);

    connect(insertButton_, &QToolButton::clicked, this, &SceneEditorPanel::InsertScene);
    connect(mergeButton_, &QToolButton::clicked, this, &SceneEditorPanel::CutScene);
    connect(fixButton_, &QToolButton::clicked, this, &SceneEditorPanel::FixTitles);
    connect(saveTextButton_, &QToolButton::clicked, this, &SceneEditorPanel::SaveScenesText);
    connect(saveXlsxButton_, &QToolButton::clicked, this, &SceneEditorPanel::SaveScenesSpreadsheet);
    connect(saveScnButton_, &QToolButton::clicked, this, &SceneEditorPanel::SaveScenes);
    connect(apply, &QPushButton::clicked, this, &SceneEditorPanel::ApplyCaption);
    connect(lb_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (r >= 0 && r < static_cast<int>(scenes_.size()))
            showCaption(shownCaption(static_cast<std::size_t>(r)));
    });
    connect(lb_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { itemClicked(lb_->row(item)); });
    AskSave = [this](const QString& text) {
        return QMessageBox::warning(this, windowTitle(), text,
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

void SceneEditorPanel::SetDateStyle(std::string displayFormat, LocaleInfo locale) {
    displayFormat_ = std::move(displayFormat);
    locale_ = std::move(locale);
    for (int row = 0; row < lb_->count() && row < static_cast<int>(scenes_.size()); ++row)
        lb_->item(row)->setText(shownCaption(static_cast<std::size_t>(row)));
    if (const int row = lb_->currentRow(); row >= 0 && row < static_cast<int>(scenes_.size()))
        showCaption(shownCaption(static_cast<std::size_t>(row)));
}

QString SceneEditorPanel::shownCaption(std::size_t scene) const {
    // The finder wrote the date with the raw preference; the window shows it in its own style.
    return QString::fromStdString(
        files::CaptionInDisplayStyle(scenes_[scene].Caption, displayFormat_, locale_));
}

void SceneEditorPanel::refill(int select) {
    const QSignalBlocker block(lb_);
    lb_->clear();
    for (std::size_t i = 0; i < scenes_.size(); ++i)
        lb_->addItem(shownCaption(i));
    if (select >= 0 && select < lb_->count()) {
        lb_->setCurrentRow(select);
        lb_->scrollToItem(lb_->item(select));
        showCaption(lb_->item(select)->text());
    }
}

void SceneEditorPanel::showCaption(const QString& caption) {
    valueEdit_->setText(caption);
    // A long caption is read from its start: the cursor goes there, not to its end.
    valueEdit_->setCursorPosition(0);
}

int SceneEditorPanel::shownScene() const {
    const std::int32_t frame = preview_ ? preview_->CurrentFrame() : 0;
    for (std::size_t i = 0; i < scenes_.size(); ++i) {
        const auto& s = scenes_[i].Scene;
        if (s.StartFrame <= frame && frame < s.EndFrame)
            return static_cast<int>(i);
    }
    // At the very end (or past the last scene) the last scene holds the position.
    return scenes_.empty() || frame < scenes_.front().Scene.StartFrame
               ? 0
               : static_cast<int>(scenes_.size()) - 1;
}

void SceneEditorPanel::Select(int row) {
    lb_->setCurrentRow(row);
}

void SceneEditorPanel::LoadScenes(const std::string& videoName) {
    scenes_.clear();
    if (!scenes::ReadScnFile(scenes::ReplaceExtension(videoName, ".scn"), scenes_, fps_)) {
        scenes_.clear();
        scenes_.push_back({"Error in the scn file", {0, 0}});
    }
    modified_ = false;
    following_ = false;
    video_ = videoName;
    refill(shownScene());
}

void SceneEditorPanel::InitScenes(const std::string& videoName, std::int32_t frameCount) {
    scenes_.clear();
    scenes_.push_back({std::string("Scene 1: unique") + kDurationMark +
                           FormatShortFramePosition(frameCount, fps_),
                       {0, frameCount}});
    modified_ = false;
    following_ = false;
    video_ = videoName;
    refill(0);
}

bool SceneEditorPanel::SaveScenes() {
    if (video_.empty())
        return false;
    scenes::ScnWriter writer(video_, scenes::ScnVariantFromPreference(typeScn_));
    for (const auto& e : scenes_)
        writer.AddScene(e.Caption, e.Scene.EndFrame);
    const bool ok = writer.Close();
    if (ok)
        modified_ = false;
    return ok;
}

bool SceneEditorPanel::SaveScenesText() {
    if (video_.empty())
        return false;
    scenes::ExportContext context;
    context.FrameRate = fps_;
    scenes::ScnTextWriter writer(video_, context);
    for (const auto& e : scenes_)
        writer.AddSceneLine(e.Caption, e.Scene.EndFrame);
    return writer.Close();
}

bool SceneEditorPanel::SaveScenesSpreadsheet() {
    if (video_.empty())
        return false;
    scenes::ExportContext context;
    context.FrameRate = fps_;
    scenes::SpreadsheetWriter writer(video_, context);
    for (const auto& e : scenes_)
        writer.AddSceneRow(e.Caption, e.Scene.EndFrame);
    return writer.Close();
}

void SceneEditorPanel::InsertScene() {
    const std::int32_t f = preview_ ? preview_->CurrentFrame() : 0;
    for (const auto& e : scenes_)
        if (e.Scene.StartFrame == f)
            return;
    for (std::size_t i = 0; i < scenes_.size(); ++i) {
        auto& e = scenes_[i];
        if (!(e.Scene.StartFrame < f && f < e.Scene.EndFrame))
            continue;
        const scenes::SceneRange added{f, e.Scene.EndFrame};
        e.Scene.EndFrame = f;
        std::string caption = "Scene " + std::to_string(i + 1) + ": INS [" +
                              FormatFramePosition(f, fps_) + "]" + kDurationMark +
                              FormatShortFramePosition(added.Length(), fps_);
        scenes_.insert(scenes_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                       {std::move(caption), added});
        FixTitles();
        modified_ = true;
        refill(static_cast<int>(i) + 1);
        return;
    }
}

void SceneEditorPanel::CutScene() {
    const int row = lb_->currentRow();
    if (row <= 0 || row >= static_cast<int>(scenes_.size()))
        return;
    const auto i = static_cast<std::size_t>(row);
    scenes_[i - 1].Scene.EndFrame = scenes_[i].Scene.EndFrame;
    scenes_.erase(scenes_.begin() + row);
    FixTitles();
    modified_ = true;
    refill(row - 1);
}

void SceneEditorPanel::FixTitles() {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    int rank = 0;
    for (auto& e : scenes_) {
        ++rank;
        std::string& c = e.Caption;
        if (c.rfind("Scene ", 0) == 0 && c.size() > 6 && digit(c[6])) {
            std::size_t end = 6;
            while (end < c.size() && digit(c[end]))
                ++end;
            c = "Scene " + std::to_string(rank) + c.substr(end);
        }
        const std::size_t at = c.find(kDurationMark);
        if (at != std::string::npos) {
            const std::size_t from = at + kDurationMark.size();
            bool plain = true;
            for (std::size_t k = from; k < c.size(); ++k)
                plain = plain && (digit(c[k]) || c[k] == '.');
            if (plain)
                c = c.substr(0, from) + FormatShortFramePosition(e.Scene.Length(), fps_);
        }
    }
    modified_ = true;
    refill(lb_->currentRow());
}

std::int32_t SceneEditorPanel::NextSceneStart(std::int32_t frame, std::int32_t fallback) const {
    for (const auto& e : scenes_)
        if (e.Scene.StartFrame > frame)
            return e.Scene.StartFrame;
    return fallback;
}

std::int32_t SceneEditorPanel::PreviousSceneStart(std::int32_t frame) const {
    std::int32_t found = 0;
    for (const auto& e : scenes_)
        if (e.Scene.StartFrame < frame)
            found = e.Scene.StartFrame;
    return found;
}

void SceneEditorPanel::ShowEditor() {
    show();
    raise();
    lb_->setFocus();
}

void SceneEditorPanel::HideEditor() {
    if (modified_ && AskSave && AskSave(SaveQuestion()))
        SaveScenes();
    following_ = false;
    hide();
    emit Hidden();
}

void SceneEditorPanel::ApplyCaption() {
    const int row = lb_->currentRow();
    if (row < 0 || row >= static_cast<int>(scenes_.size()))
        return;
    const auto scene = static_cast<std::size_t>(row);
    // A caption applied as it is shown keeps its stored text, so the scn stays byte for byte.
    if (valueEdit_->text() != shownCaption(scene))
        scenes_[scene].Caption = valueEdit_->text().toStdString();
    lb_->item(row)->setText(shownCaption(scene));
    modified_ = true;
    lb_->setFocus();
}

void SceneEditorPanel::itemClicked(int row) {
    if (row < 0 || row >= static_cast<int>(scenes_.size()))
        return;
    if (preview_)
        preview_->SeekFrame(scenes_[static_cast<std::size_t>(row)].Scene.StartFrame);
    following_ = true;
}

void SceneEditorPanel::FollowFrame(std::int32_t frame) {
    if (!following_)
        return;
    for (std::size_t i = 0; i < scenes_.size(); ++i) {
        const auto& s = scenes_[i].Scene;
        if (s.StartFrame <= frame && frame < s.EndFrame) {
            if (lb_->currentRow() != static_cast<int>(i)) {
                const QSignalBlocker block(lb_);
                lb_->setCurrentRow(static_cast<int>(i));
            }
            return;
        }
    }
}

bool SceneEditorPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lb_->viewport() && event->type() == QEvent::MouseButtonPress) {
        // A press in the list hands the highlight back to the user until the next click.
        following_ = false;
    } else if (watched == valueEdit_ && event->type() == QEvent::FocusIn) {
        savedKeys_.clear();
        for (QAction* a : actions_) {
            savedKeys_.push_back(a ? a->shortcuts() : QList<QKeySequence>());
            if (a)
                a->setShortcuts({});
        }
    } else if (watched == valueEdit_ && event->type() == QEvent::FocusOut) {
        for (std::size_t i = 0; i < actions_.size() && i < savedKeys_.size(); ++i)
            if (actions_[i])
                actions_[i]->setShortcuts(savedKeys_[i]);
        savedKeys_.clear();
        modified_ = true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace kelvor::ui
