#include "ui/Panels.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

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

QString WelcomeFrame::Text() {
    // Each CR LF CR separates two paragraphs.
    return tr("Drag and drop one or several files to this window.\r\n\r"
              "You may also open or paste files with the toolbar buttons.\r\n\r"
              "Open all DV video files from your computer with Ctrl+F7.\r\n\r"
              "Only DV video files (.avi, .dv, .dif, .mov, .mkv) will be processed. \r\n\r"
              "Type F10 to modify Settings, F1 to see About. The list of available commands with "
              "all keyboard shortcuts is in the Settings panel (F10).");
}

WelcomeFrame::WelcomeFrame(QWidget* parent) : QFrame(parent) {
    setObjectName("WelcomeFrame");
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(18);
    auto* picture = new QLabel(this);
    picture->setPixmap(Camcorder());
    picture->setToolTip(tr("This program is not for camels!"));
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

}  // namespace kelvor::ui
