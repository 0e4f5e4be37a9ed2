#include "ui/panels/RepairDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace kelvor::ui {
namespace {

const QDate kEpoch(1899, 12, 30);

QPushButton* Button(QWidget* parent, const QString& text, const QString& hint) {
    auto* b = new QPushButton(text, parent);
    b->setToolTip(hint);
    return b;
}

// A choice, a value box enabled only for the last item, and the OK and Cancel buttons.
struct ChoiceLayout {
    QComboBox* choice;
    QLineEdit* value;
    QPushButton* ok;
    QPushButton* cancel;
};

ChoiceLayout BuildChoice(QDialog* d, const QString& text, const QString& choiceHint,
                         const QStringList& items, const QString& valueLabel,
                         const QString& valueHint, const QString& unit, const QString& okHint,
                         const QString& cancelHint) {
    auto* column = new QVBoxLayout(d);
    auto* label = new QLabel(text, d);
    label->setWordWrap(true);
    column->addWidget(label);
    ChoiceLayout l{};
    l.choice = new QComboBox(d);
    l.choice->setObjectName("ChoiceBox");
    l.choice->setToolTip(choiceHint);
    l.choice->addItems(items);
    column->addWidget(l.choice);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(valueLabel, d));
    l.value = new QLineEdit(d);
    l.value->setObjectName("ValueEdit");
    l.value->setToolTip(valueHint);
    row->addWidget(l.value, 1);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit, d));
    column->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    l.ok = Button(d, QObject::tr("OK"), okHint);
    l.ok->setDefault(true);
    l.cancel = Button(d, QObject::tr("Cancel"), cancelHint);
    buttons->addWidget(l.ok);
    buttons->addWidget(l.cancel);
    column->addLayout(buttons);
    return l;
}

}  // namespace

FrameRateDialog::FrameRateDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("FrameRateDialog");
    setWindowTitle(tr("Fix the framerate"));
    const auto l = BuildChoice(
        this,
        tr("Indicate the framerate in frames per seconds.\r\nThe audio frequency remains "
           "inchanged."),
        tr("Choose a framerate."),
        {tr("25 frames/sec (Pal)"), tr("29.97 frames/sec (NTSC)"), tr("personalized")},
        tr("Personalized frequency"),
        tr("Indicate the framerate by a decimal number\r\n(using your local representation)."),
        tr("frames/sec"), tr("Apply the new framerate."),
        tr("Cancel the command \"Fix the framerate\" \r\nwithout applying the modification."));
    choice_ = l.choice;
    value_ = l.value;
    ok_ = l.ok;
    choice_->setCurrentIndex(-1);
    value_->setEnabled(false);
    connect(choice_, &QComboBox::currentIndexChanged, this, [this](int i) {
        value_->setEnabled(i == 2);
        if (i == 2)
            value_->setFocus();
    });
    connect(l.ok, &QPushButton::clicked, this, &FrameRateDialog::ClickOk);
    connect(l.cancel, &QPushButton::clicked, this, [this] {
        confirmed_ = false;
        reject();
    });
}

void FrameRateDialog::SetChoice(int choice) {
    choice_->setCurrentIndex(choice);
    value_->setEnabled(choice == 2);
}

int FrameRateDialog::Choice() const {
    return choice_->currentIndex();
}

void FrameRateDialog::ClickOk() {
    confirmed_ = true;
    switch (choice_->currentIndex()) {
        case 0:
            TargetFps = 25;
            break;
        case 1:
            TargetFps = 29.97;
            break;
        case 2: {
            bool ok = false;
            const double v = QLocale().toDouble(value_->text().trimmed(), &ok);
            // A value that is no number closes the dialog without running anything.
            if (!ok || !std::isfinite(v) || v <= 0) {
                confirmed_ = false;
                reject();
                return;
            }
            TargetFps = v;
            break;
        }
        default:
            break;
    }
    accept();
}

void FrameRateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    confirmed_ = false;
    if (value_->isEnabled())
        value_->setFocus();
}

CodecDialog::CodecDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("CodecDialog");
    setWindowTitle(tr("Change the video codec"));
    const auto l = BuildChoice(
        this, tr("Choose the codec\n(4 characters)"), tr("Choose a codec"),
        {"dvsd (Microsoft)", "dsvd", "CDVC (Canopus)", tr("personalized")},
        tr("Personalized Codec"), tr("Indicate the personalized codec (4 characters)"), {},
        tr("Validate the change of codec."),
        tr("Cancel the command \"Fix the codec\" \r\nwithout applying the modification."));
    choice_ = l.choice;
    value_ = l.value;
    value_->setMaxLength(4);
    choice_->setCurrentIndex(-1);
    value_->setEnabled(false);
    connect(choice_, &QComboBox::currentIndexChanged, this, [this](int i) {
        value_->setEnabled(i == 3);
        if (i == 3)
            value_->setFocus();
    });
    connect(l.ok, &QPushButton::clicked, this, &CodecDialog::ClickOk);
    connect(l.cancel, &QPushButton::clicked, this, [this] {
        confirmed_ = false;
        reject();
    });
}

void CodecDialog::SetChoice(int choice) {
    choice_->setCurrentIndex(choice);
    value_->setEnabled(choice == 3);
}

void CodecDialog::ClickOk() {
    static const QStringList kCodes = {"dvsd", "dsvd", "CDVC"};
    const int i = choice_->currentIndex();
    if (i >= 0 && i < 3)
        TargetCodec = kCodes[i];
    else if (i == 3)
        TargetCodec = (value_->text() + "    ").left(4);
    confirmed_ = true;
    accept();
}

void CodecDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    confirmed_ = false;
    if (value_->isEnabled())
        value_->setFocus();
}

namespace {

QSpinBox* Spin(QWidget* parent, int lo, int hi, const QString& suffix) {
    auto* s = new QSpinBox(parent);
    s->setRange(lo, hi);
    s->setSuffix(suffix);
    return s;
}

QDateTime ToDateTime(double value) {
    const double day = std::floor(value);
    const auto secs = static_cast<qint64>(std::llround((value - day) * 86400.0));
    return QDateTime(kEpoch.addDays(static_cast<qint64>(day)), QTime(0, 0)).addSecs(secs);
}

double FromFields(const QDate& date, int h, int m, int s) {
    return static_cast<double>(kEpoch.daysTo(date)) + h / 24.0 + m / 1440.0 + s / 86400.0;
}

}  // namespace

QString TimeShiftDialog::DetailedText(double days) {
    const auto s = std::llround(days * 86400.0);
    return tr("%1 days %2h %3m %4s").arg(s / 86400).arg(s / 3600 % 24).arg(s / 60 % 60).arg(s % 60);
}

TimeShiftDialog::TimeShiftDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TimeShiftDialog");
    setWindowTitle(tr("Fix a time difference"));
    setMinimumWidth(440);
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Hours:"), this));
    hours_ = Spin(this, -23, 23, " h");
    hours_->setObjectName("HoursSpin");
    hours_->setToolTip(
        tr("You may add or substract an integer number of hours \r\nin order to fix a time "
           "difference or a summer/winter time\r\n(between -23 and +23)"));
    top->addWidget(hours_);
    top->addStretch(1);
    advanced_ = new QCheckBox(tr("Advanced"), this);
    advanced_->setObjectName("AdvancedBox");
    top->addWidget(advanced_);
    column->addLayout(top);

    simpleText_ = new QPlainTextEdit(this);
    simpleText_->setReadOnly(true);
    simpleText_->setPlainText(
        tr("\r\n\r\nTo modify the datecode inside the DV frames by a custom delay, not "
           "necessarily "
           "an integer number of hours, check the box \"Advanced\".\r\n\r\nRemember that the "
           "modified datecode will be used for inlay, for fixing a time difference, or for "
           "renaming files with the datecode, but not for the current datecode displayed "
           "among the "
           "avi data, which will always display the true datecode found in the frames.")
            .replace("\r\n", "\n"));
    column->addWidget(simpleText_, 1);

    const auto group = [this](const QString& title, const QString& hint, QDateEdit*& date,
                              QSpinBox*& h, QSpinBox*& m, QSpinBox*& s) {
        auto* g = new QGroupBox(title, this);
        g->setToolTip(hint);
        auto* row = new QHBoxLayout(g);
        date = new QDateEdit(g);
        date->setCalendarPopup(true);
        date->setDisplayFormat("yyyy-MM-dd");
        h = Spin(g, 0, 23, " h");
        m = Spin(g, 0, 59, " m");
        s = Spin(g, 0, 59, " s");
        row->addWidget(date, 1);
        row->addWidget(h);
        row->addWidget(m);
        row->addWidget(s);
        return g;
    };
    original_ =
        group(tr("Original"), tr("Date and time of the tape"), tapeDate_, tapeH_, tapeM_, tapeS_);
    for (QWidget* w : std::initializer_list<QWidget*>{tapeDate_, tapeH_, tapeM_, tapeS_})
        w->setEnabled(false);
    column->addWidget(original_);
    fixedGroup_ =
        group(tr("Fixed"), tr("Fixed date and time"), fixedDate_, fixedH_, fixedM_, fixedS_);
    column->addWidget(fixedGroup_);
    equal_ =
        Button(this, tr("Original = Fixed"),
               tr("Set the fixed date and time equal to the original.\r\nIt is then convenient "
                  "to add a time difference."));
    equal_->setObjectName("EqualButton");
    column->addWidget(equal_, 0, Qt::AlignLeft);

    result_ = new QLabel(this);
    result_->setObjectName("ResultLabel");
    result_->setToolTip(tr("Difference between fixed time and original time"));
    QFont f = result_->font();
    f.setBold(true);
    result_->setFont(f);
    column->addWidget(result_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = Button(this, tr("OK"), tr("Apply the modification and close the window"));
    ok->setDefault(true);
    auto* cancel = Button(this, tr("Cancel"), tr("Close this window without modification"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);

    connect(hours_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!filling_ && !Advanced())
            SetHours(v);
    });
    for (QSpinBox* s : {fixedH_, fixedM_, fixedS_})
        connect(s, &QSpinBox::valueChanged, this, [this] { fixedChanged(); });
    connect(fixedDate_, &QDateEdit::dateChanged, this, [this] { fixedChanged(); });
    connect(advanced_, &QCheckBox::toggled, this, [this](bool on) { modeChanged(on); });
    connect(equal_, &QPushButton::clicked, this, &TimeShiftDialog::EqualDates);
    connect(ok, &QPushButton::clicked, this, &TimeShiftDialog::ClickOk);
    connect(cancel, &QPushButton::clicked, this, &TimeShiftDialog::ClickCancel);
    modeChanged(false);
}

bool TimeShiftDialog::Advanced() const {
    return advanced_->isChecked();
}

void TimeShiftDialog::SetAdvanced(bool advanced) {
    // Only the shown parts follow: the fixed date is not moved by a preference being applied.
    const QSignalBlocker block(advanced_);
    advanced_->setChecked(advanced);
    simpleText_->setVisible(!advanced);
    hours_->setEnabled(!advanced);
    original_->setVisible(advanced);
    fixedGroup_->setVisible(advanced);
    equal_->setVisible(advanced);
}

void TimeShiftDialog::SetDates(double tape, double fixed) {
    tape_ = tape;
    fixed_ = fixed;
}

void TimeShiftDialog::setDifference(double d) {
    difference_ = d;
    if (ShiftChanged)
        ShiftChanged(d);
}

void TimeShiftDialog::fillFields() {
    filling_ = true;
    const QDateTime t = ToDateTime(tape_), f = ToDateTime(fixed_);
    tapeDate_->setDate(t.date());
    tapeH_->setValue(t.time().hour());
    tapeM_->setValue(t.time().minute());
    tapeS_->setValue(t.time().second());
    fixedDate_->setDate(f.date());
    fixedH_->setValue(f.time().hour());
    fixedM_->setValue(f.time().minute());
    fixedS_->setValue(f.time().second());
    filling_ = false;
    fixedChanged();
}

void TimeShiftDialog::fixedChanged() {
    if (filling_ || !Advanced())
        return;
    tape_ = FromFields(tapeDate_->date(), tapeH_->value(), tapeM_->value(), tapeS_->value());
    fixed_ = FromFields(fixedDate_->date(), fixedH_->value(), fixedM_->value(), fixedS_->value());
    setDifference(fixed_ - tape_);
    result_->setText(DetailedText(difference_));
}

void TimeShiftDialog::Activate() {
    confirmed_ = false;
    if (Advanced()) {
        fillFields();
    } else {
        hours_->setValue(0);
        SetHours(0);
    }
}

void TimeShiftDialog::SetHours(int hours) {
    if (hours_->value() != hours) {
        const QSignalBlocker block(hours_);
        hours_->setValue(hours);
    }
    setDifference(hours / 24.0);
    result_->setText(QString("%1h").arg(hours));
}

void TimeShiftDialog::SetFixedDateTime(const QDateTime& fixed) {
    filling_ = true;
    fixedDate_->setDate(fixed.date());
    fixedH_->setValue(fixed.time().hour());
    fixedM_->setValue(fixed.time().minute());
    fixedS_->setValue(fixed.time().second());
    filling_ = false;
    fixedChanged();
}

void TimeShiftDialog::modeChanged(bool advanced) {
    SetAdvanced(advanced);
    if (AdvancedChanged)
        AdvancedChanged(advanced);
    if (advanced) {
        fixed_ = tape_ + hours_->value() / 24.0;
        fillFields();
    } else {
        // The whole hours, with the sign of the difference kept.
        const auto h = static_cast<int>(std::trunc((fixed_ - tape_) * 24.0));
        SetHours(std::clamp(h, -23, 23));
    }
}

void TimeShiftDialog::EqualDates() {
    fixed_ = tape_;
    fillFields();
}

QString TimeShiftDialog::ResultText() const {
    return result_->text();
}

void TimeShiftDialog::ClickOk() {
    confirmed_ = true;
    accept();
}

void TimeShiftDialog::ClickCancel() {
    confirmed_ = false;
    reject();
}

void TimeShiftDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
}

}  // namespace kelvor::ui
