#include "ui/WindowDialogs.h"

#include <algorithm>

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include "core/files/DatePattern.h"
#include "core/shell/About.h"
#include "ui/panels/RepairDialogs.h"

namespace kelvor::ui {

commands::Answer WindowDialogs::Confirm(QWidget* parent, const QString& text, bool severalFiles) {
    using B = QMessageBox::StandardButton;
    QMessageBox box(QMessageBox::Warning, about::kProductName, text, QMessageBox::NoButton, parent);
    if (severalFiles) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel |
                               QMessageBox::NoToAll | QMessageBox::YesToAll);
        box.button(QMessageBox::NoToAll)->setText(QObject::tr("No to all"));
        box.button(QMessageBox::YesToAll)->setText(QObject::tr("Yes to all"));
    } else {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    }
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(severalFiles ? QMessageBox::Cancel : QMessageBox::No);
    switch (static_cast<B>(box.exec())) {
        case B::Yes:
            return commands::Answer::Yes;
        case B::YesToAll:
            return commands::Answer::YesToAll;
        case B::NoToAll:
            return commands::Answer::NoToAll;
        case B::Cancel:
            return commands::Answer::Cancel;
        default:
            return commands::Answer::No;
    }
}

void WindowDialogs::Error(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, about::kProductName, text);
}

SaveAnswer WindowDialogs::SavePreferences(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, about::kProductName, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    QPushButton* all = box.addButton(QObject::tr("All"), QMessageBox::YesRole);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == all)
        return SaveAnswer::All;
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Yes:
            return SaveAnswer::Yes;
        case QMessageBox::No:
            return SaveAnswer::No;
        default:
            return SaveAnswer::Cancel;
    }
}

QStringList WindowDialogs::OpenFiles(QWidget* parent, const QString& folder,
                                     const QString& filter) {
    return QFileDialog::getOpenFileNames(parent, QString(), folder, filter);
}

QString WindowDialogs::ChooseFolder(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, title, folder);
}

QString WindowDialogs::OpenFile(QWidget* parent, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString WindowDialogs::SaveFile(QWidget* parent, const QString& folder, const QString& filter,
                                const QString& suffix) {
    QFileDialog dialog(parent, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

namespace {

// The dialog of that kind the window keeps for the program's life (made on first use when the
// window has none), so its choice carries over from one showing to the next.
template <class Form>
Form* KeptForm(QWidget* parent) {
    QWidget* owner = parent ? parent->window() : nullptr;
    Form* form = owner ? owner->findChild<Form*>() : nullptr;
    return form ? form : new Form(owner);
}

}  // namespace

bool WindowDialogs::FrameRate(QWidget* parent, int& choice, double& fps) {
    auto* form = KeptForm<FrameRateDialog>(parent);
    form->SetChoice(choice);
    if (choice == 2)
        form->ValueBox()->setText(QLocale().toString(fps));
    form->TargetFps = fps;
    form->exec();
    if (!form->Confirmed())
        return false;
    choice = form->Choice();
    fps = form->TargetFps;
    return true;
}

bool WindowDialogs::Codec(QWidget* parent, int& choice, QString& code) {
    auto* form = KeptForm<CodecDialog>(parent);
    form->SetChoice(choice);
    if (choice == 3)
        form->ValueBox()->setText(code);
    form->TargetCodec = code;
    form->exec();
    if (!form->Confirmed())
        return false;
    choice = form->ChoiceBox()->currentIndex();
    code = form->TargetCodec;
    return true;
}

bool WindowDialogs::TimeDifference(QWidget* parent, double reference, double& shiftDays) {
    auto* form = KeptForm<TimeShiftDialog>(parent);
    form->SetDates(reference, reference + shiftDays);
    form->exec();
    if (!form->Confirmed())
        return false;
    shiftDays = form->Difference();
    return true;
}

}  // namespace kelvor::ui
