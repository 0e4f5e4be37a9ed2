// The dialogs of the repair commands: the frame rate, the codec code and the time difference.
// Each is created once and keeps its choice between showings. Numbers are read in the user's
// locale (QLocale()).
//
// UI thread only.
#pragma once

#include <QDateTime>
#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace kelvor::ui {

// "Fix the framerate".
class FrameRateDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit FrameRateDialog(QWidget* parent);
    // 0 25, 1 29.97, 2 personalized, -1 none.
    void SetChoice(int choice);
    int Choice() const;
    QComboBox* ChoiceBox() const { return choice_; }
    QLineEdit* ValueBox() const { return value_; }
    QPushButton* OkButton() const { return ok_; }
    // The value after OK (unchanged when nothing was chosen) and whether OK confirmed.
    double TargetFps = 25;
    bool Confirmed() const { return confirmed_; }
    void ClickOk();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QComboBox* choice_;
    QLineEdit* value_;
    QPushButton* ok_;
    bool confirmed_ = false;
};

// "Change the video codec".
class CodecDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit CodecDialog(QWidget* parent);
    // 0 dvsd, 1 dsvd, 2 CDVC, 3 personalized, -1 none.
    void SetChoice(int choice);
    QComboBox* ChoiceBox() const { return choice_; }
    QLineEdit* ValueBox() const { return value_; }
    QString TargetCodec;
    bool Confirmed() const { return confirmed_; }
    void ClickOk();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QComboBox* choice_;
    QLineEdit* value_;
    bool confirmed_ = false;
};

// "Fix a time difference": whole hours in simple mode, or a fixed date-time against the
// tape's in advanced mode. Date-times are date-time values in days.
class TimeShiftDialog final : public QDialog {
    Q_OBJECT
  public:
    explicit TimeShiftDialog(QWidget* parent);

    // Before showing: the tape date-time and the fixed one.
    void SetDates(double tape, double fixed);
    double Tape() const { return tape_; }
    double Fixed() const { return fixed_; }
    // Fixed minus tape, days; survives between showings.
    double Difference() const { return difference_; }
    bool Confirmed() const { return confirmed_; }
    bool Advanced() const;
    void SetAdvanced(bool advanced);
    // Called with each new difference (the window passes it to the preview's inlay).
    std::function<void(double)> ShiftChanged;
    // Called when the "Advanced" box changes (the window keeps "Decalage avancé").
    std::function<void(bool)> AdvancedChanged;

    // The steps of the dialog, for the window and the tests.
    void Activate();
    void SetHours(int hours);
    void SetFixedDateTime(const QDateTime& fixed);
    void EqualDates();
    QString ResultText() const;
    void ClickOk();
    void ClickCancel();

    // "1 days 0h 30m 0s": whole days, hours, minutes, seconds, each truncated towards zero.
    static QString DetailedText(double days);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void fillFields();
    void fixedChanged();
    void setDifference(double d);
    void modeChanged(bool advanced);

    QSpinBox* hours_;
    QPlainTextEdit* simpleText_;
    QGroupBox* original_;
    QGroupBox* fixedGroup_;
    QDateEdit* tapeDate_;
    QSpinBox* tapeH_;
    QSpinBox* tapeM_;
    QSpinBox* tapeS_;
    QDateEdit* fixedDate_;
    QSpinBox* fixedH_;
    QSpinBox* fixedM_;
    QSpinBox* fixedS_;
    QPushButton* equal_;
    QCheckBox* advanced_;
    QLabel* result_;
    double tape_ = 0;
    double fixed_ = 0;
    double difference_ = 0;
    bool confirmed_ = false;
    bool filling_ = false;
};

}  // namespace kelvor::ui
