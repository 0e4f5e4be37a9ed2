// The welcome frame shown while the list is empty. The other panels live in ui/panels.
//
// UI thread only.
#pragma once

#include <QFrame>
#include <QString>

class QLabel;

namespace kelvor::ui {

// The welcome frame: what to do with an empty list.
class WelcomeFrame final : public QFrame {
    Q_OBJECT
  public:
    explicit WelcomeFrame(QWidget* parent);
    // The lines as one text, separated by CR, LF, CR.
    static QString Text();
    static constexpr int kWidth = 560;

  private:
    QLabel* lines_;
};

}  // namespace kelvor::ui
