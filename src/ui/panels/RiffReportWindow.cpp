#include "ui/panels/RiffReportWindow.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>

namespace kelvor::ui {

RiffReportWindow::RiffReportWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("RiffReportWindow");
    setWindowTitle(avi::RiffReport::kRestingCaption);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(false);
    auto* row = new QHBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName("ReportList");
    QFont mono("Courier New");
    mono.setStyleHint(QFont::Monospace);
    list_->setFont(mono);
    list_->setUniformItemSizes(true);
    row->addWidget(list_, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    saveButton_ = new QPushButton(tr("Save"), this);
    saveButton_->setObjectName("SaveButton");
    saveButton_->setToolTip(tr("Save a  LOG file..."));
    saveButton_->setEnabled(false);
    closeButton_ = new QPushButton(tr("Close"), this);
    closeButton_->setObjectName("CloseButton");
    closeButton_->setToolTip(tr("Close this window"));
    buttons->addWidget(saveButton_);
    buttons->addWidget(closeButton_);
    row->addLayout(buttons);
    resize(760, 560);
    connect(saveButton_, &QPushButton::clicked, this, &RiffReportWindow::SaveClicked);
    connect(closeButton_, &QPushButton::clicked, this, &RiffReportWindow::CloseClicked);
    ChooseSaveFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(
            this, tr("Save"), suggested,
            tr("Log files (*.log);;Txt files(*.txt);;All files (*.*)"));
    };
}

RiffReportWindow::~RiffReportWindow() {
    stopWalk();
}

void RiffReportWindow::stopWalk() {
    if (running_report_)
        running_report_->Cancel();
    if (walk_.joinable())
        walk_.join();
    running_report_.reset();
    running_ = false;
}

bool RiffReportWindow::ShowReport(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return false;
    stopWalk();
    ++generation_;
    saveButton_->setEnabled(false);
    list_->clear();
    setWindowTitle(tr("Header of the file %1").arg(QString::fromStdString(path)));
    show();
    raise();
    auto report = std::make_shared<avi::RiffReport>();
    // The stream kind carries over from one report to the next, as the window keeps it.
    if (shown_)
        report->StreamKind = shown_->StreamKind;
    running_report_ = report;
    running_ = true;
    const std::uint64_t generation = generation_;
    QPointer<RiffReportWindow> self(this);
    walk_ = std::thread([report, path, generation, self] {
        bool failed = false;
        try {
            report->ReportFileName = path;
            report->RunReport(path);
        } catch (...) {
            failed = true;
        }
        // The window may be gone by now: the queued call then never runs.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, failed] {
                if (self)
                    self->finished(generation, failed);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void RiffReportWindow::finished(std::uint64_t generation, bool failed) {
    if (generation != generation_)
        return;  // an older report, cancelled by this one
    std::shared_ptr<avi::RiffReport> report = running_report_;
    if (walk_.joinable())
        walk_.join();
    running_report_.reset();
    running_ = false;
    if (!report)
        return;
    if (failed || report->ReportCancelled) {
        hide();
        emit ReportFinished();
        return;
    }
    shown_ = report;
    list_->setUpdatesEnabled(false);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(report->lines().size()));
    for (const std::string& l : report->lines())
        lines << QString::fromStdString(l);
    list_->addItems(lines);
    list_->setUpdatesEnabled(true);
    saveButton_->setEnabled(report->saveEnabled());
    emit ReportFinished();
}

void RiffReportWindow::CloseClicked() {
    if (running_report_)
        running_report_->Cancel();
    hide();
}

void RiffReportWindow::SaveClicked() {
    if (!shown_)
        return;
    const QString name = ChooseSaveFile(QString::fromStdString(shown_->SuggestedLogName()));
    if (!name.isEmpty())
        shown_->Save(name.toStdString());
}

void RiffReportWindow::closeEvent(QCloseEvent* event) {
    if (running_report_)
        running_report_->Cancel();
    QDialog::closeEvent(event);
}

void RiffReportWindow::reject() {
    CloseClicked();
}

}  // namespace kelvor::ui
