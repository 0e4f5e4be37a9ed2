// The actions, menus and pop-ups of the window, which of them are available, and their links to
// the command module.
#include <QAction>
#include <QActionGroup>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
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

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

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
        auto* a = new QAction(ImageIcon(d.Image), tr(d.Caption), this);
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
        menus_[name] = menuBar()->addMenu(tr(name));
    for (const ActionDef& d : ActionTable()) {
        if (!d.Menu[0])
            continue;
        const QString path = d.Menu;
        QMenu* menu = Menu(path);
        if (!menu) {
            const qsizetype slash = path.indexOf('/');
            QMenu* parent = Menu(path.left(slash));
            menu =
                parent->addMenu(ImageIcon(kImgSort), tr(path.mid(slash + 1).toUtf8().constData()));
            menus_[path] = menu;
        }
        if (d.SeparatorBefore && !menu->isEmpty())
            menu->addSeparator();
        menu->addAction(Action(d.Name));
    }

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
        {"afSelectionnerTout", "amOterFichier", "amSupprimerFichier", "afViderListe",
         "Files/Sort the list", "", "amDossierParent", "amRiffHeader", "amDefaultPlayer",
         "afVarnolt", "amOpenFichierF3", "amOpenFichierF4", "", "Rename", "Convert", "Scenes"});
    videoPopup_ = new QMenu(this);
    add(videoPopup_, {"avPlayStop", "avFullscreen", "avMute", "afIncVolume", "afDecVolume", "",
                      "amAfficherIncrustation", "amAfficherSliders"});
    windowPopup_ = new QMenu(this);
    add(windowPopup_,
        {"afOuvrirFichiers", "afCollerFichiers", "afOuvrirunDossier", "afOuvrirDossierPrefere",
         "afOuvrirTout", "afOuvrirPlayList", "afOuvrirDefaultPlayList", "afOuvrirScript", "",
         "afBasculerListe", "afOptions", "afApropos", "", "afQuitter"});

    toolbar_ = addToolBar(tr("Tools"));
    toolbar_->setObjectName("ToolBar");
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setIconSize(QSize(24, 24));
    for (const char* n : {"afOuvrirFichiers", "afCollerFichiers", "afOuvrirunDossier",
                          "afOuvrirDossierPrefere", "afOuvrirPlayList", "afSauverListe"})
        toolbar_->addAction(Action(n));
    toolbar_->addSeparator();
    toolbar_->addAction(Action("afBasculerListe"));
    editScenesButton_ = Action("amEditScenes");
    toolbar_->addAction(editScenesButton_);
    toolbar_->addAction(Action("afInterrompre"));
    // The second tool bar sits at the right edge of the window.
    auto* spacer = new QWidget(toolbar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(spacer);
    for (const char* n : {"afOptions", "afApropos", "afQuitter"})
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
        const std::string wanted = "am" + Lower(c->Name);
        QAction* a = nullptr;
        for (QAction* x : actions_)
            if (Lower(x->objectName().toStdString()) == wanted)
                a = x;
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
        if (a->shortcuts().isEmpty() && !c->Shortcut.empty())
            a->setShortcut(QKeySequence::fromString(QString::fromStdString(c->Shortcut)));
        if (a->text().isEmpty())
            a->setText(QString::fromStdString(c->Caption));
        if (a->property("category").toString().isEmpty())
            a->setProperty("category", kMulti);
        if (a->property("image").toInt() < 0)
            setCaption(a->objectName(), a->text(), kImgCommand);
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
    if (name == "amCorrigerFps")
        return fixFrameRate();
    if (name == "amCorrigerCodec")
        return changeCodec();
    if (name == "amDecalerHoraire")
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
        {"afQuitter", [](MainWindow& w, QAction*) { w.close(); }},
        {"afBasculerListe", [](MainWindow& w, QAction*) { w.ToggleList(); }},
        {"afInterrompre", [](MainWindow& w, QAction*) { w.Abort(); }},
        {"afInterrompreTous", [](MainWindow& w, QAction*) { w.AbortAll(); }},
        {"afApropos", [](MainWindow& w,
                         QAction* x) { w.showPanel(x->isChecked() ? Panel::About : Panel::None); }},
        {"afOptions",
         [](MainWindow& w, QAction* x) {
             w.showPanel(x->isChecked() ? Panel::Settings : Panel::None);
         }},
        {"afIncVolume", [](MainWindow& w, QAction*) { w.changeVolume(1000); }},
        {"afDecVolume", [](MainWindow& w, QAction*) { w.changeVolume(-1000); }},
        {"afCollerFichiers", [](MainWindow& w, QAction*) { w.paste(); }},
        {"afOuvrirFichiers", [](MainWindow& w, QAction*) { w.openFiles(); }},
        {"afOuvrirDossierPrefere", [](MainWindow& w, QAction*) { w.openPreferredFolder(); }},
        {"afOuvrirTout", [](MainWindow& w, QAction*) { w.openAll(); }},
        {"afOuvrirunDossier", [](MainWindow& w, QAction*) { w.openFolder(); }},
        {"afOuvrirPlayList", [](MainWindow& w, QAction*) { w.openPlaylist(); }},
        {"afOuvrirDefaultPlayList", [](MainWindow& w, QAction*) { w.openDefaultPlaylist(); }},
        {"afOuvrirScript", [](MainWindow& w, QAction*) { w.launchScript(); }},
        {"afOrdreAlpha", [](MainWindow& w, QAction*) { w.SortList(1); }},
        {"alTriDatecode", [](MainWindow& w, QAction*) { w.SortList(0); }},
        {"alTriTaille", [](MainWindow& w, QAction*) { w.SortList(2); }},
        {"alTrierModify", [](MainWindow& w, QAction*) { w.SortList(3); }},
        {"afSelectionnerTout", [](MainWindow& w, QAction*) { w.SelectAll(); }},
        {"afViderListe", [](MainWindow& w, QAction*) { w.EmptyList(); }},
        {"afSauverListe", [](MainWindow& w, QAction*) { w.savePlaylistAs(); }},
        {"avPlayStop", [](MainWindow& w, QAction*) { w.playStop(); }},
        {"avFullscreen", [](MainWindow& w, QAction*) { w.toggleFullscreen(); }},
        {"avMute", [](MainWindow& w, QAction*) { w.toggleMute(); }},
        {"amEditScenes", [](MainWindow& w, QAction* x) { w.toggleEditor(x->isChecked()); }},
        {"afInserer", [](MainWindow& w, QAction*) { w.editor_->InsertScene(); }},
        {"afCouper", [](MainWindow& w, QAction*) { w.editor_->CutScene(); }},
        {"afCorriger", [](MainWindow& w, QAction*) { w.editor_->FixTitles(); }},
        {"afEnregistrer", [](MainWindow& w, QAction*) { w.editor_->SaveScenes(); }},
        {"afEnregistrerScenesText", [](MainWindow& w, QAction*) { w.editor_->SaveScenesText(); }},
        {"afExcel", [](MainWindow& w, QAction*) { w.editor_->SaveScenesSpreadsheet(); }},
    };
    if (const auto it = kHandlers.find(name); it != kHandlers.end())
        return it->second(*this, a);
    static const std::map<QString, std::pair<Step, bool>> kSteps = {
        {"avanceLow", {Step::Frame, true}},     {"reculeLow", {Step::Frame, false}},
        {"avanceMedium", {Step::Second, true}}, {"ReculeMedium", {Step::Second, false}},
        {"avanceHigh", {Step::Minute, true}},   {"ReculeHigh", {Step::Minute, false}},
        {"avAvanceFin", {Step::End, true}},     {"avReculeDebut", {Step::Start, false}},
    };
    if (const auto it = kSteps.find(name); it != kSteps.end())
        return step(it->second.first, it->second.second);
    if (name == "AvanceScene" || name == "ReculeScene")
        return sceneStep(name == "AvanceScene");
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
    editScenesButton_->setVisible(listShown_ && Action("amEditScenes")->isVisible());
    Action("amEditScenes")->setEnabled(true);
    // Ctrl+Q shortens the names when that command applies; otherwise it quits.
    QAction* shorten = Action("amPurgerNom");
    const bool shortenTakesKey = shorten->isVisible() && shorten->isEnabled();
    Action("afQuitter")
        ->setShortcuts(shortenTakesKey
                           ? QList<QKeySequence>{QKeySequence(Qt::AltModifier | Qt::Key_F4)}
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
    RunFileCommand("CorrigerFps");
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
    RunFileCommand("CorrigerCodec");
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
    RunGraphCommand("DecalerHoraire");
}

}  // namespace kelvor::ui
