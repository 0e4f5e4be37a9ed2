// The window in French: the translation loads for a French locale and reaches the menu bar, the
// actions of the command table, a dialog, the settings panel and a text built outside widgets;
// any other locale keeps the English source texts.
#include <QComboBox>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTranslator>

#include "commands/CommandTexts.h"
#include "ui/ActionTable.h"
#include "ui/Panels.h"
#include "ui/Translation.h"
#include "ui/UiTestSupport.h"
#include "ui/panels/RepairDialogs.h"
#include "ui/panels/SettingsPanel.h"
#include "ui/preview/PlayerTexts.h"

namespace kelvor::ui::test {

class TranslationTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup();
    void aFrenchLocaleShowsTheWindowInFrench();
    void everyActionHasAFrenchCaption();
    void aCommandAsksAndReportsInFrench();
    void otherLocalesKeepTheEnglishTexts();
};

// Each case starts from the English program.
void TranslationTest::cleanup() {
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

void TranslationTest::aFrenchLocaleShowsTheWindowInFrench() {
    QVERIFY(InstallTranslations(*qApp, QLocale(QLocale::French, QLocale::France)));
    Session s;
    MainWindow& w = s.window();
    QStringList menus;
    for (QAction* a : w.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"Fichiers", "Vidéo", "Renommer", "Convertir", "Scènes", "?"}));
    QCOMPARE(w.Action("Quit")->text(), QString("Quitter"));
    QCOMPARE(w.Action("GoToEnd")->text(), QString("Aller à la fin"));
    // A caption from the command table, and one the inlay toggle sets at run time.
    QCOMPARE(w.Action("AddDatecode")->text(), QString("Ajouter le datecode"));
    QCOMPARE(w.Action("ShowInlay")->text(), QString("Afficher l'incrustation"));
    QCOMPARE(w.Menu("Files/Sort the list")->title(), QString("Trier la liste"));

    QTabWidget* tabs = w.Settings()->findChild<QTabWidget*>();
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(0), QString("Préférences"));
    QCOMPARE(tabs->tabText(4), QString("Incrustation"));
    QVERIFY(WelcomeFrame::Text().startsWith("Glissez-déposez"));

    FrameRateDialog d(&w);
    QCOMPARE(d.windowTitle(), QString("Corriger la fréquence d'images"));
    QCOMPARE(d.ChoiceBox()->itemText(1), QString("29,97 images/s (NTSC)"));
    QStringList buttons;
    for (QPushButton* b : d.findChildren<QPushButton*>())
        buttons << b->text();
    QVERIFY(buttons.contains("Annuler"));

    // A text formed outside the widgets.
    QCOMPARE(SoundText(48000, 16, 2), std::string("48 kHz 16 bits stéréo"));
}

void TranslationTest::everyActionHasAFrenchCaption() {
    QTranslator french;
    QVERIFY(french.load(QLocale(QLocale::French), "kelvor", "_", ":/i18n"));
    QStringList untranslated;
    for (const ActionDef& d : ActionTable()) {
        const char* context = d.Command[0] ? "kelvor::commands" : "Actions";
        if (french.translate(context, d.Caption).isEmpty())
            untranslated << d.Caption;
    }
    for (const char* menu : MenuNames())
        if (std::string_view(menu) != "?" && french.translate("Actions", menu).isEmpty())
            untranslated << menu;
    QCOMPARE(untranslated, QStringList());
}

// The shared command code's question, progress and failure texts reach the window in French;
// kelvor-cli, which installs no translator, keeps the English ones.
void TranslationTest::aCommandAsksAndReportsInFrench() {
    QVERIFY(InstallTranslations(*qApp, QLocale(QLocale::French, QLocale::France)));
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", "type=2 frames=10 date=2024-07-14T10:00:00");
    w.LoadFiles("Loading files", {QString::fromStdString(a)});
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 1; }));
    s.dialogs.answers = {commands::Answer::No};
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(s.waitForRun());
    QCOMPARE(s.dialogs.questions.at(0),
             QString("Voulez-vous vraiment supprimer a.avi ?\r\nSi oui, il sera mis à la "
                     "corbeille."));
    QVERIFY(fs::exists(a));

    // A trash that cannot take the file: the command's failure, in French.
    kelvor::test::WriteFile(s.dir / ".trash", "not a folder");
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    s.dialogs.answers = {commands::Answer::Yes};
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(s.waitForRun());
    QVERIFY(fs::exists(a));
    QVERIFY2(w.StatusText().startsWith("Non traité : a.avi") &&
                 w.StatusText().contains("le fichier ne peut pas être mis à la corbeille"),
             qPrintable(w.StatusText()));
    QCOMPARE(commands::FileErrorText(s.program->Module().ToType1.ProgressMessage, "a.avi"),
             std::string("Une erreur s'est produite pendant : \r\nConversion de « a.avi » en "
                         "type 1.\r\n\r\nVérifiez au moins que le fichier source existe, que le "
                         "disque de destination n'est pas plein et que le dossier de destination "
                         "n'est pas en lecture seule."));
}

void TranslationTest::otherLocalesKeepTheEnglishTexts() {
    QVERIFY(!InstallTranslations(*qApp, QLocale(QLocale::English, QLocale::UnitedStates)));
    QVERIFY(!InstallTranslations(*qApp, QLocale(QLocale::German, QLocale::Germany)));
    Session s;
    MainWindow& w = s.window();
    QCOMPARE(w.menuBar()->actions().front()->text(), QString("Files"));
    QCOMPARE(SoundText(32000, 12, 4), std::string("32 kHz 12-bit stereo (2x)"));
    QCOMPARE(SoundText(44100, 16, 1), std::string("44.1 kHz 16-bit mono"));
    QCOMPARE(SoundText(32000, 16, 2, true), std::string("32 kHz 12-bit stereo"));
    FrameRateDialog d(&w);
    QCOMPARE(d.windowTitle(), QString("Fix the framerate"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::TranslationTest)
#include "TranslationTest.moc"
