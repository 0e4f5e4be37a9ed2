#include "ui/panels/AboutPanel.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "core/shell/About.h"

namespace kelvor::ui {

AboutPanel::AboutPanel(QWidget* parent, const QString& versionText, const QString& buildDateText)
    : QFrame(parent) {
    setObjectName("AboutPanel");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    tabs_ = new QTabWidget(this);

    auto* about = new QWidget(tabs_);
    auto* aboutColumn = new QVBoxLayout(about);
    aboutColumn->setContentsMargins(24, 24, 24, 24);
    aboutColumn->setSpacing(10);
    auto* title = new QLabel(about::kProductName, about);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 2);
    f.setBold(true);
    title->setFont(f);
    aboutColumn->addWidget(title);
    aboutColumn->addWidget(
        new QLabel(tr("Version %1, built on %2").arg(versionText, buildDateText), about));
    aboutColumn->addWidget(new QLabel(tr("by %1").arg(about::kMaker), about));
    auto* web = new QLabel(QString("<a href=\"%1\">%1</a>").arg(about::kWebAddress), about);
    web->setOpenExternalLinks(true);
    aboutColumn->addWidget(web);
    auto* what = new QLabel(
        tr("Lists DV camcorder AVI files with their datecode and timecode, finds scenes, "
           "renames, converts and previews them with the datecode overlaid."),
        about);
    what->setWordWrap(true);
    aboutColumn->addWidget(what);
    aboutColumn->addStretch(1);
    tabs_->addTab(about, tr("About..."));

    const auto box = [this](const char* name) {
        auto* b = new QTextEdit(tabs_);
        b->setObjectName(name);
        b->setReadOnly(true);
        b->setFont(QFont("Arial", 11));
        return b;
    };
    aboutText_ = box("reApropos");
    tabs_->addTab(aboutText_, tr("System"));
    reTest_ = box("reTest");
    tabs_->addTab(reTest_, tr("Test"));
    tabs_->setTabToolTip(
        2, tr("Check if the relevant directshow filters are correctly installed on your system."));
    column->addWidget(tabs_, 1);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("CloseButton");
    close->setToolTip(tr("Close the \"About\" window and go back to main window."));
    column->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &AboutPanel::CloseClicked);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) {
        if (i == 2)
            RunCheck();
    });
}

void AboutPanel::write(QTextEdit* box, const std::vector<ReportLine>& lines) {
    box->clear();
    QTextCursor c(box->document());
    bool first = true;
    for (const ReportLine& l : lines) {
        if (!first)
            c.insertBlock();
        first = false;
        QTextCharFormat format;
        format.setFontFamilies({"Arial"});
        format.setFontWeight(l.Bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(l.Italic);
        format.setForeground(l.Color);
        c.insertText(l.Text, format);
    }
}

void AboutPanel::WriteSystemReport() {
    if (!sources_)
        return;
    std::vector<ReportLine> lines;
    lines.push_back({tr("My operating system is: "), false, true});
    lines.push_back({sources_->OsText() + ". ", true, false});
    lines.push_back({});
    lines.push_back({tr("I am using:"), false, true});
    lines.push_back({tr("Media engine version %1.").arg(sources_->MediaEngineText()), true, false});
    lines.push_back({});
    lines.push_back({tr("Varnolt:"), false, true});
    const QString varnolt = sources_->VarnoltFile();
    lines.push_back({varnolt.isEmpty() ? tr("Varnolt not found") : varnolt, false, true});
    write(aboutText_, lines);
}

void AboutPanel::RunCheck() {
    if (!sources_)
        return;
    ++checks_;
    write(reTest_, sources_->RunCheck(Busy && Busy()));
}

}  // namespace kelvor::ui
