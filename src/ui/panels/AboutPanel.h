// The about panel: the tabs "About..." (product, version, maker, web page), "System" (the
// system report, written once at the window's first show) and "Test" (the check of the media
// filters, run anew each time the tab is shown).
//
// UI thread only. The facts and the check come in through AboutSources, so the panel does not
// depend on the media engine.
#pragma once

#include <QColor>
#include <QFrame>

#include <functional>
#include <vector>

class QTabWidget;
class QTextEdit;

namespace kelvor::ui {

// One line of a report with its style.
struct ReportLine {
    QString Text;
    bool Bold = false;
    bool Italic = false;
    QColor Color = Qt::black;
};

class AboutSources {
  public:
    virtual ~AboutSources() = default;
    virtual QString OsText() const = 0;
    // The version of the media libraries (the media engine).
    virtual QString MediaEngineText() const = 0;
    // The program of "Fichier Varnolt" when a file exists there, else empty.
    virtual QString VarnoltFile() const = 0;
    // The check of the filters the graphs are built from. busy is true while a conversion or
    // the preview runs: the check then reports what it finds without rebinding the graph
    // owners' filters, so the running graph is left as it is.
    virtual std::vector<ReportLine> RunCheck(bool busy) = 0;
};

class AboutPanel final : public QFrame {
    Q_OBJECT
  public:
    AboutPanel(QWidget* parent, const QString& versionText, const QString& buildDateText);
    static constexpr int kWidth = 640;

    void SetSources(AboutSources* sources) { sources_ = sources; }
    // Asked before each check: is a conversion or the preview running?
    std::function<bool()> Busy;

    // The system report, into the "System" tab.
    void WriteSystemReport();
    // The check, into the "Test" tab (runs when that tab is shown).
    void RunCheck();

    QTabWidget* Tabs() const { return tabs_; }
    QTextEdit* SystemBox() const { return aboutText_; }
    QTextEdit* TestBox() const { return reTest_; }
    int ChecksRun() const { return checks_; }

  signals:
    void CloseClicked();

  private:
    static void write(QTextEdit* box, const std::vector<ReportLine>& lines);

    QTabWidget* tabs_;
    QTextEdit* aboutText_;
    QTextEdit* reTest_;
    AboutSources* sources_ = nullptr;
    int checks_ = 0;
};

}  // namespace kelvor::ui
