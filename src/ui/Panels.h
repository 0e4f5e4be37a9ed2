// The frames and panels that take the window's place: the welcome frame shown while the list is
// empty, and the slots of the about panel, the settings panel and the RIFF report window, which
// hold what the window itself fills (version texts, the table of commands and keys, the report
// lines) until their own panels replace them.
//
// UI thread only.
#pragma once

#include <QFrame>
#include <QString>

class QLabel;
class QTableWidget;
class QPlainTextEdit;

namespace kelvor::ui {

// The welcome frame: what to do with an empty list.
class TVideFrame final : public QFrame {
    Q_OBJECT
  public:
    explicit TVideFrame(QWidget* parent);
    // The lines as one text, separated by CR, LF, CR.
    static QString Text();
    static constexpr int kWidth = 560;

  private:
    QLabel* lines_;
};

// The about panel's slot: product, version and build date, maker and web address.
class TAproposFrame final : public QFrame {
    Q_OBJECT
  public:
    TAproposFrame(QWidget* parent, const QString& versionText, const QString& buildDateText);
    void SetSystemText(const QString& text);
    static constexpr int kWidth = 640;

  private:
    QLabel* system_;
};

// The settings panel's slot: the table of commands with their keys and script letters.
class SettingsPanel final : public QFrame {
    Q_OBJECT
  public:
    explicit SettingsPanel(QWidget* parent);
    struct Row {
        QString Caption;
        QString Keys;
        QString Switch;
    };
    void FillShortcuts(const std::vector<Row>& rows);
    QTableWidget* Table() const { return table_; }
    static constexpr int kWidth = 640;

  private:
    QTableWidget* table_;
};

// The RIFF structure report of one file in a window of its own.
class RiffReportWindow final : public QFrame {
    Q_OBJECT
  public:
    explicit RiffReportWindow(QWidget* parent);
    // Runs the report on the file and shows it; false when the file does not exist.
    bool ShowReport(const std::string& path);

  private:
    QPlainTextEdit* text_;
};

}  // namespace kelvor::ui
