// The RIFF structure report of one file in a window of its own. The report is written on a
// thread of the window's: the window stays responsive, Close (or Escape, or closing the window)
// cancels it, and the lines appear when the walk has ended. Save writes them as a log.
//
// UI thread only, except the walk. The walk's RiffReport is owned by the running job and handed
// back to the UI thread through a queued call once the thread has finished writing it; the
// only field both threads touch meanwhile is its atomic ReportCancelled.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/avi/RiffReport.h"

class QListWidget;
class QPushButton;

namespace kelvor::ui {

class RiffReportWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit RiffReportWindow(QWidget* parent);
    ~RiffReportWindow() override;

    // Starts the report of the file and shows the window; false (window left as it was) when
    // the file does not exist.
    bool ShowReport(const std::string& path);
    // Cancels a running report and closes the window.
    void CloseClicked();
    void SaveClicked();
    // Chooses the log file to save to; a file dialog by default.
    std::function<QString(const QString& suggested)> ChooseSaveFile;

    bool Running() const { return running_; }
    QListWidget* List() const { return list_; }
    QPushButton* SaveButton() const { return saveButton_; }
    // The report shown (empty before the first one ends).
    const avi::RiffReport* Report() const { return shown_.get(); }

  signals:
    void ReportFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void stopWalk();
    void finished(std::uint64_t generation, bool failed);

    QListWidget* list_;
    QPushButton* saveButton_;
    QPushButton* closeButton_;
    std::thread walk_;
    std::shared_ptr<avi::RiffReport> running_report_;
    std::shared_ptr<avi::RiffReport> shown_;
    std::uint64_t generation_ = 0;
    bool running_ = false;
};

}  // namespace kelvor::ui
