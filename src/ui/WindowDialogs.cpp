#include "ui/WindowDialogs.h"

#include <algorithm>

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "core/files/DatePattern.h"
#include "core/shell/About.h"

namespace kelvor::ui {

commands::TAnswer WindowDialogs::Confirm(QWidget* parent, const QString& text, bool severalFiles) {
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
            return commands::TAnswer::Yes;
        case B::YesToAll:
            return commands::TAnswer::YesToAll;
        case B::NoToAll:
            return commands::TAnswer::NoToAll;
        case B::Cancel:
            return commands::TAnswer::Cancel;
        default:
            return commands::TAnswer::No;
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

bool WindowDialogs::FrameRate(QWidget* parent, int& choice, double& fps) {
    const QStringList items = {"25 images/sec", "29.97 images/sec", QObject::tr("Custom")};
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent, QObject::tr("Fix the video framerate"),
                                                 QObject::tr("Frame rate:"), items,
                                                 std::clamp(choice, 0, 2), false, &ok);
    if (!ok)
        return false;
    choice = static_cast<int>(items.indexOf(chosen));
    if (choice == 0)
        fps = 25;
    else if (choice == 1)
        fps = 30000.0 / 1001.0;
    else
        fps = QInputDialog::getDouble(parent, QObject::tr("Fix the video framerate"),
                                      QObject::tr("Frames per second:"), fps, 1, 200, 3, &ok);
    return ok;
}

bool WindowDialogs::Codec(QWidget* parent, int& choice, QString& code) {
    const QStringList items = {"dvsd", "dsvd", "cdvc", QObject::tr("Custom")};
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(parent, QObject::tr("Change the codec"), QObject::tr("Codec:"), items,
                              std::clamp(choice, 0, 3), false, &ok);
    if (!ok)
        return false;
    choice = static_cast<int>(items.indexOf(chosen));
    if (choice < 3)
        code = chosen;
    else
        code = QInputDialog::getText(parent, QObject::tr("Change the codec"),
                                     QObject::tr("Four characters:"), QLineEdit::Normal, code, &ok)
                   .left(4);
    return ok;
}

bool WindowDialogs::TimeDifference(QWidget* parent, double reference, double& shiftDays) {
    bool ok = false;
    const QString from = QString::fromStdString(FormatDateTime("ddddd hh:nn:ss", reference));
    const double hours = QInputDialog::getDouble(
        parent, QObject::tr("Fix a time difference"),
        QObject::tr("Recorded on %1.\nHours to add to every datecode:").arg(from), shiftDays * 24,
        -24 * 3660, 24 * 3660, 4, &ok);
    if (ok)
        shiftDays = hours / 24;
    return ok;
}

}  // namespace kelvor::ui
