#include "ui/Panels.h"

#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include <filesystem>

#include "core/avi/RiffReport.h"
#include "core/shell/About.h"

namespace kelvor::ui {
namespace {

// The welcome picture: a camcorder drawn in a few strokes.
QPixmap Camcorder() {
    QPixmap pm(120, 80);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(50, 60, 80), 2));
    p.setBrush(QColor(70, 110, 170));
    p.drawRoundedRect(QRectF(10, 22, 72, 44), 8, 8);
    p.setBrush(QColor(40, 40, 50));
    p.drawPolygon(
        QPolygonF({QPointF(82, 34), QPointF(110, 24), QPointF(110, 64), QPointF(82, 54)}));
    p.setBrush(QColor(220, 60, 60));
    p.drawEllipse(QPointF(24, 34), 5, 5);
    p.setBrush(QColor(200, 210, 230));
    p.drawRoundedRect(QRectF(36, 10, 30, 12), 3, 3);
    return pm;
}

QLabel* Heading(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.6);
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

QString TVideFrame::Text() {
    const QString sep = "\r\n\r";
    return QStringLiteral("Drag and drop one or several files to this window.") + sep +
           "You may also open or paste files with speedbuttons " + sep +
           "Open all avi files from your computer with Ctrl+F7." + sep +
           "Only the files with extension *.avi will be processed. " + sep +
           "Type F10 to modify Settings, F1 to get help. " +
           "The list of available commands with all keyboard shortcuts is in the Settings panel "
           "(F10).";
}

TVideFrame::TVideFrame(QWidget* parent) : QFrame(parent) {
    setObjectName("TVideFrame");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(18);
    auto* picture = new QLabel(this);
    picture->setPixmap(Camcorder());
    picture->setToolTip("This program is not for camels!");
    column->addWidget(picture, 0, Qt::AlignHCenter);
    column->addWidget(Heading(about::kProductName, this), 0, Qt::AlignHCenter);
    lines_ = new QLabel(this);
    lines_->setObjectName("WelcomeLines");
    lines_->setWordWrap(true);
    // Each CR LF CR of the text is a line with an empty line after it.
    lines_->setText(Text().replace("\r\n\r", "\n\n"));
    column->addWidget(lines_);
    column->addStretch(1);
}

TAproposFrame::TAproposFrame(QWidget* parent, const QString& versionText,
                             const QString& buildDateText)
    : QFrame(parent) {
    setObjectName("TAproposFrame");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(10);
    column->addWidget(Heading(about::kProductName, this));
    column->addWidget(
        new QLabel(tr("Version %1, built on %2").arg(versionText, buildDateText), this));
    column->addWidget(new QLabel(tr("by %1").arg(about::kMaker), this));
    auto* web = new QLabel(QString("<a href=\"%1\">%1</a>").arg(about::kWebAddress), this);
    web->setOpenExternalLinks(true);
    column->addWidget(web);
    system_ = new QLabel(this);
    system_->setObjectName("SystemText");
    system_->setWordWrap(true);
    column->addWidget(system_);
    column->addStretch(1);
    column->addWidget(new QLabel(tr("Type F1 to close this panel."), this));
}

void TAproposFrame::SetSystemText(const QString& text) {
    system_->setText(text);
}

SettingsPanel::SettingsPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("SettingsPanel");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->addWidget(Heading(tr("Settings"), this));
    column->addWidget(new QLabel(tr("Commands, keyboard shortcuts and script letters:"), this));
    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName("ShortcutTable");
    table_->setHorizontalHeaderLabels({tr("Command"), tr("Keys"), tr("Script")});
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    column->addWidget(table_, 1);
    column->addWidget(new QLabel(tr("Type F10 to close this panel."), this));
}

void SettingsPanel::FillShortcuts(const std::vector<Row>& rows) {
    table_->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const Row& r = rows[static_cast<std::size_t>(i)];
        table_->setItem(i, 0, new QTableWidgetItem(r.Caption));
        table_->setItem(i, 1, new QTableWidgetItem(r.Keys));
        table_->setItem(i, 2,
                        new QTableWidgetItem(r.Switch.isEmpty() ? QString() : "+" + r.Switch));
    }
}

RiffReportWindow::RiffReportWindow(QWidget* parent) : QFrame(parent, Qt::Window) {
    setObjectName("TRiffForm");
    setWindowTitle(avi::RiffReport::kRestingCaption);
    resize(640, 560);
    auto* column = new QVBoxLayout(this);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFont("Liberation Mono"));
    column->addWidget(text_);
}

bool RiffReportWindow::ShowReport(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return false;
    avi::RiffReport report;
    report.RunReport(path);
    QStringList lines;
    for (const std::string& line : report.lines())
        lines << QString::fromStdString(line);
    text_->setPlainText(lines.join('\n'));
    setWindowTitle(QString::fromStdString(report.caption()));
    show();
    raise();
    return true;
}

}  // namespace kelvor::ui
