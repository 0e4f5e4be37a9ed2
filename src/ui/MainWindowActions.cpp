// The actions, menus and pop-ups of the window, which of them are available, and their links to
// the command module.
#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeView>
#include <QWidget>

#include <functional>

#include "commands/CommandModule.h"
#include "core/scenes/ExportContext.h"
#include "ui/ActionTable.h"
#include "ui/CommandDialogs.h"
#include "ui/FileListModel.h"
#include "ui/ImageList.h"
#include "ui/MainWindow.h"
#include "ui/Panels.h"
#include "ui/PlayerPanel.h"
#include "ui/PreviewSlot.h"
#include "ui/WindowDialogs.h"
#include "ui/panels/SceneEditorPanel.h"

namespace kelvor::ui {
namespace {

const char* CategoryOf(const QAction* a) {
    static const std::string kinds[] = {kPermanent, kCategoryEmpty, kCategoryList,
                                        kMono,      kMulti,         kEditScenes};
    const std::string c = a->property("category").toString().toStdString();
    for (const std::string& k : kinds)
        if (c == k)
            return k.c_str();
    return "";
}

}  // namespace

QAction* MainWindow::Action(const QString& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

QMenu* MainWindow::Menu(const QString& name) const {
    const auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

void MainWindow::createActions() {
    for (const ActionDef& d : ActionTable()) {
        auto* a = new QAction(ImageIcon(d.Image), ActionCaption(d), this);
        a->setObjectName(d.Name);
        a->setShortcuts(d.Keys);
        a->setCheckable(d.Checkable);
        a->setProperty("category", d.Category);
        a->setProperty("image", d.Image);
        // On the window itself, so their keys work whichever menu shows them.
        addAction(a);
        actions_.push_back(a);
        byName_[d.Name] = a;
        if (d.Command[0])
            bound_[a] = d.Command;
        connect(a, &QAction::triggered, this, [this, a] { triggered(a); });
    }
}

void MainWindow::createMenus() {
    for (const char* name : MenuNames())
        menus_[name] = menuBar()->addMenu(QCoreApplication::translate("Actions", name));
    for (const ActionDef& d : ActionTable()) {
        if (!d.Menu[0])
            continue;
        const QString path = d.Menu;
        QMenu* menu = Menu(path);
        if (!menu) {
            const qsizetype slash = path.indexOf('/');
            QMenu* parent = Menu(path.left(slash));
            menu = parent->addMenu(
                ImageIcon(kImgSort),
                QCoreApplication::translate("Actions", path.mid(slash + 1).toUtf8().constData()));
            menus_[path] = menu;
        }
        if (d.SeparatorBefore && !menu->isEmpty())
            menu->addSeparator();
        menu->addAction(Action(d.Name));
    }

    // The list's view, beside its orders: columns, or the names alone.
    detailsAction_ = new QAction(tr("Details view"), this);
    detailsAction_->setObjectName("DetailsView");
    detailsAction_->setCheckable(true);
    detailsAction_->setChecked(s_.Prefs.Window.DetailedList);
    connect(detailsAction_, &QAction::toggled, this, [this](bool on) { SetDetailsShown(on); });
    const auto insertAfterSort = [this](QMenu* m) {
        const QMenu* sort = Menu("Files/Sort the list");
        if (!m || !sort)
            return;
        const QList<QAction*> entries = m->actions();
        const qsizetype at = entries.indexOf(sort->menuAction());
        m->insertAction(at >= 0 && at + 1 < entries.size() ? entries[at + 1] : nullptr,
                        detailsAction_);
    };
    insertAfterSort(Menu("Files"));

    const auto add = [this](QMenu* m, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            if (!n[0])
                m->addSeparator();
            else if (QAction* a = Action(n))
                m->addAction(a);
            else if (QMenu* sub = Menu(n))
                m->addMenu(sub);
        }
    };
    listPopup_ = new QMenu(this);
    add(listPopup_,
        {"SelectAll", "RemoveFromList", "DeleteFile", "EmptyList", "Files/Sort the list", "",
         "ShowInFolder", "RiffReport", "PlayInDefaultPlayer", "OpenInVarnolt", "OpenWithF3",
         "OpenWithF4", "", "Rename", "Convert", "Scenes"});
    insertAfterSort(listPopup_);
    videoPopup_ = new QMenu(this);
    add(videoPopup_, {"PlayStop", "Fullscreen", "Mute", "VolumeUp", "VolumeDown", "", "ShowInlay",
                      "ShowInlaySliders"});
    windowPopup_ = new QMenu(this);
    add(windowPopup_, {"OpenFiles", "PasteFiles", "OpenFolder", "OpenPreferredFolder",
                       "OpenAllDisks", "OpenPlaylist", "OpenDefaultPlaylist", "RunScript", "",
                       "ToggleList", "Settings", "About", "", "Quit"});

    toolbar_ = addToolBar(tr("Tools"));
    toolbar_->setObjectName("ToolBar");
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setIconSize(QSize(24, 24));
    for (const char* n : {"OpenFiles", "PasteFiles", "OpenFolder", "OpenPreferredFolder",
                          "OpenPlaylist", "SavePlaylist"})
        toolbar_->addAction(Action(n));
    toolbar_->addSeparator();
    toolbar_->addAction(Action("ToggleList"));
    editScenesButton_ = Action("EditScenes");
    toolbar_->addAction(editScenesButton_);
    toolbar_->addAction(Action("Abort"));
    // The second tool bar sits at the right edge of the window.
    auto* spacer = new QWidget(toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);
    for (const char* n : {"Settings", "About", "Quit"})
        toolbar_->addAction(Action(n));
}

commands::Command* MainWindow::boundCommand(const QAction* action) const {
    const auto it = bound_.find(action);
    if (it == bound_.end() || !module_)
        return nullptr;
    return module_->Find(it->second);
}

void MainWindow::LinkCommands() {
    module_->LinkCommands();
    for (commands::Command* c : module_->Commands()) {
        // A command's action carries its name; a command without a menu has none.
        QAction* a = Action(QString::fromStdString(c->Name));
        if (!a)
            continue;
        bound_[a] = c->Name;
        bool visible = true;
        if (c->CanStart) {
            commands::CommandParam param = c->Param;
            c->CanStart(param, visible);
        }
        a->setVisible(visible);
        a->setEnabled(visible);
    }
}

void MainWindow::setCaption(const QString& action, const QString& caption, int image) {
    QAction* a = Action(action);
    if (!a)
        return;
    a->setText(caption);
    if (image >= 0) {
        a->setIcon(ImageIcon(image));
        a->setProperty("image", image);
    }
}

void MainWindow::triggered(QAction* a) {
    const QString name = a->objectName();
    const ActionDef* d = FindActionDef(name.toStdString());
    if (name == "FixFrameRate")
        return fixFrameRate();
    if (name == "FixCodec")
        return changeCodec();
    if (name == "ShiftTime")
        return fixTimeDifference();
    if (const auto it = bound_.find(a); it != bound_.end() && d) {
        switch (d->Starts) {
            case StartsAs::Mono:
                return RunMonoCommand(it->second);
            case StartsAs::File:
                return RunFileCommand(it->second);
            case StartsAs::Graph:
                return RunGraphCommand(it->second);
            case StartsAs::None:
                break;
        }
    }
    using Step = PreviewSlot::Step;
    const auto step = [this](Step s, bool forward) {
        if (preview_->Active())
            preview_->StepBy(s, forward);
    };
    const auto sceneStep = [this](bool forward) {
        if (current_ && current_->HasScn && preview_->Active())
            preview_->StepBy(forward ? Step::NextScene : Step::PreviousScene, true);
    };
    static const std::map<QString, std::function<void(MainWindow&, QAction*)>> kHandlers = {
        {"Quit", [](MainWindow& w, QAction*) { w.close(); }},
        {"ToggleList", [](MainWindow& w, QAction*) { w.ToggleList(); }},
        {"Abort", [](MainWindow& w, QAction*) { w.Abort(); }},
        {"AbortAll", [](MainWindow& w, QAction*) { w.AbortAll(); }},
        {"About", [](MainWindow& w,
                     QAction* x) { w.showPanel(x->isChecked() ? Panel::About : Panel::None); }},
        {"Settings",
         [](MainWindow& w, QAction* x) {
             w.showPanel(x->isChecked() ? Panel::Settings : Panel::None);
         }},
        {"VolumeUp", [](MainWindow& w, QAction*) { w.changeVolume(1000); }},
        {"VolumeDown", [](MainWindow& w, QAction*) { w.changeVolume(-1000); }},
        {"PasteFiles", [](MainWindow& w, QAction*) { w.paste(); }},
        {"OpenFiles", [](MainWindow& w, QAction*) { w.openFiles(); }},
        {"OpenPreferredFolder", [](MainWindow& w, QAction*) { w.openPreferredFolder(); }},
        {"OpenAllDisks", [](MainWindow& w, QAction*) { w.openAll(); }},
        {"OpenFolder", [](MainWindow& w, QAction*) { w.openFolder(); }},
        {"OpenPlaylist", [](MainWindow& w, QAction*) { w.openPlaylist(); }},
        {"OpenDefaultPlaylist", [](MainWindow& w, QAction*) { w.openDefaultPlaylist(); }},
        {"RunScript", [](MainWindow& w, QAction*) { w.launchScript(); }},
        {"SortByName", [](MainWindow& w, QAction*) { w.SortList(1); }},
        {"SortByDatecode", [](MainWindow& w, QAction*) { w.SortList(0); }},
        {"SortBySize", [](MainWindow& w, QAction*) { w.SortList(2); }},
        {"SortByFileDate", [](MainWindow& w, QAction*) { w.SortList(3); }},
        {"SelectAll", [](MainWindow& w, QAction*) { w.SelectAll(); }},
        {"EmptyList", [](MainWindow& w, QAction*) { w.EmptyList(); }},
        {"SavePlaylist", [](MainWindow& w, QAction*) { w.savePlaylistAs(); }},
        {"PlayStop", [](MainWindow& w, QAction*) { w.playStop(); }},
        {"Fullscreen", [](MainWindow& w, QAction*) { w.toggleFullscreen(); }},
        {"Mute", [](MainWindow& w, QAction*) { w.toggleMute(); }},
        {"EditScenes", [](MainWindow& w, QAction* x) { w.toggleEditor(x->isChecked()); }},
        {"InsertScene", [](MainWindow& w, QAction*) { w.editor_->InsertScene(); }},
        {"MergeScene", [](MainWindow& w, QAction*) { w.editor_->CutScene(); }},
        {"FixRanks", [](MainWindow& w, QAction*) { w.editor_->FixTitles(); }},
        {"SaveScenesScn", [](MainWindow& w, QAction*) { w.editor_->SaveScenes(); }},
        {"SaveScenesText", [](MainWindow& w, QAction*) { w.editor_->SaveScenesText(); }},
        {"SaveScenesXlsx", [](MainWindow& w, QAction*) { w.editor_->SaveScenesSpreadsheet(); }},
    };
    if (const auto it = kHandlers.find(name); it != kHandlers.end())
        return it->second(*this, a);
    static const std::map<QString, std::pair<Step, bool>> kSteps = {
        {"FrameForward", {Step::Frame, true}},   {"FrameBackward", {Step::Frame, false}},
        {"SecondForward", {Step::Second, true}}, {"SecondBackward", {Step::Second, false}},
        {"MinuteForward", {Step::Minute, true}}, {"MinuteBackward", {Step::Minute, false}},
        {"GoToEnd", {Step::End, true}},          {"GoToStart", {Step::Start, false}},
    };
    if (const auto it = kSteps.find(name); it != kSteps.end())
        return step(it->second.first, it->second.second);
    if (name == "NextScene" || name == "PreviousScene")
        return sceneStep(name == "NextScene");
    // The scene editor's operations belong to the editor, which is not built yet.
}

void MainWindow::UpdateActions() {
    const bool listEnabled = lb_->isEnabled();
    int selectedCount = -1;
    std::vector<int> selected;
    for (QAction* a : actions_) {
        const std::string category = CategoryOf(a);
        if (category == kCategoryList && !listShown_) {
            a->setVisible(false);
            continue;
        }
        if (!listEnabled) {
            if (category == kCategoryList || category == kMulti)
                a->setEnabled(false);
            continue;
        }
        if (category == kEditScenes) {
            a->setVisible(editorShown_);
            continue;
        }
        if (category == kPermanent || category == kCategoryEmpty)
            continue;
        const bool allowed = allowed_.count(category) > 0;
        const commands::Command* c = boundCommand(a);
        const bool conditioned = c && c->AppliesTo;
        bool visible = allowed, enabled = allowed;
        if (category == kMulti && allowed) {
            if (selectedCount < 0) {
                selected = SelectedRows();
                selectedCount = static_cast<int>(selected.size());
            }
            if (conditioned && selectedCount > 0) {
                visible = enabled = false;
                commands::CommandParam param = c->Param;
                for (int row : selected) {
                    bool v = true, e = true;
                    c->AppliesTo(param, *model_->At(row).item.Record, v, e);
                    visible = visible || v;
                    enabled = enabled || e;
                    if (visible && enabled)
                        break;
                }
            }
        } else if (conditioned && current_) {
            bool v = true, e = true;
            commands::CommandParam param = c->Param;
            c->AppliesTo(param, *current_, v, e);
            visible = allowed && v;
            enabled = allowed && v && e;
        }
        a->setVisible(visible);
        a->setEnabled(enabled);
    }
    editScenesButton_->setVisible(listShown_ && Action("EditScenes")->isVisible());
    Action("EditScenes")->setEnabled(true);
    // Ctrl+Q shortens the names when that command applies; otherwise it quits.
    QAction* shorten = Action("ShortenName");
    const bool shortenTakesKey = shorten->isVisible() && shorten->isEnabled();
    Action("Quit")->setShortcuts(
        shortenTakesKey ? QList<QKeySequence>{QKeySequence(Qt::AltModifier | Qt::Key_F4)}
                        : QList<QKeySequence>{QKeySequence(Qt::AltModifier | Qt::Key_F4),
                                              QKeySequence(Qt::ControlModifier | Qt::Key_Q)});
    const auto anyVisible = [](QMenu* m) {
        for (QAction* a : m->actions())
            if (!a->isSeparator() && a->isVisible())
                return true;
        return false;
    };
    for (const auto& [path, menu] : menus_) {
        const bool topLevel = !path.contains('/');
        menu->menuAction()->setVisible(anyVisible(menu) && (!topLevel || panel_ == Panel::None));
    }
    layoutBody();
}

void MainWindow::fixFrameRate() {
    if (!module_ || !canStartRun())
        return;
    const double fps = current_ ? current_->Fps : 0;
    if (fpsChoice_ < 0) {
        fpsChoice_ = FrameRateChoice(fps);
        if (fpsChoice_ == 2 && fpsValue_ <= 0)
            fpsValue_ = fps > 0 ? fps : 25;
    }
    int choice = fpsChoice_;
    double value = fpsChoice_ == 2 ? fpsValue_ : (fpsChoice_ == 0 ? 25 : 30000.0 / 1001.0);
    if (!dialogs_->FrameRate(this, choice, value))
        return;
    fpsChoice_ = choice;
    fpsValue_ = value;
    module_->TargetFps = value;
    RunFileCommand("FixFrameRate");
}

void MainWindow::changeCodec() {
    if (!module_ || !canStartRun())
        return;
    const std::string codec = current_ ? current_->Codec : std::string();
    if (codecChoice_ < 0) {
        codecChoice_ = CodecChoice(codec);
        if (codecChoice_ == 3)
            codecValue_ = QString::fromStdString(codec).left(4);
    }
    int choice = codecChoice_;
    QString code = codecChoice_ == 3 ? codecValue_ : QStringList{"dvsd", "dsvd", "cdvc"}[choice];
    if (!dialogs_->Codec(this, choice, code))
        return;
    codecChoice_ = choice;
    if (choice == 3)
        codecValue_ = code;
    module_->TargetCodec = code.left(4).toStdString();
    RunFileCommand("FixCodec");
}

void MainWindow::fixTimeDifference() {
    if (!module_ || !canStartRun())
        return;
    const double now = s_.Env.Now ? s_.Env.Now() : scenes::SystemLocalNow();
    const double reference = TimeDifferenceReference(current_ ? current_->Datecode : 0, now);
    // The command's dialog starts from its own last difference; "Décalage Horaire" belongs to
    // the settings and is not changed here.
    double shift = lastDifference_;
    if (!dialogs_->TimeDifference(this, reference, shift))
        return;
    lastDifference_ = shift;
    if (shift == 0)
        return;
    module_->CorrectionShift = shift;
    RunGraphCommand("ShiftTime");
}

}  // namespace kelvor::ui
