// The window's modal questions and file choosers behind one seam: the program shows them with
// QMessageBox and QFileDialog, the tests answer them from a script.
//
// UI thread only. Every method returns when the user has answered; a cancelled chooser gives an
// empty result.
#pragma once

#include <QString>
#include <QStringList>

#include "commands/Command.h"

class QWidget;

namespace kelvor::ui {

// The answer to the closing question about the preferences.
enum class SaveAnswer { Yes, No, Cancel, All };

class WindowDialogs {
  public:
    virtual ~WindowDialogs() = default;

    // A command's confirmation: with several files the buttons Yes, No, Cancel, No to all and
    // Yes to all, with one file Yes and No.
    virtual commands::Answer Confirm(QWidget* parent, const QString& text, bool severalFiles);
    // A warning with the button OK.
    virtual void Error(QWidget* parent, const QString& text);
    // "Do you want to save the preferences ..." with Yes, No, Cancel and All.
    virtual SaveAnswer SavePreferences(QWidget* parent, const QString& text);

    virtual QStringList OpenFiles(QWidget* parent, const QString& folder, const QString& filter);
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& folder);
    virtual QString OpenFile(QWidget* parent, const QString& folder, const QString& filter);
    virtual QString SaveFile(QWidget* parent, const QString& folder, const QString& filter,
                             const QString& suffix);

    // The dialogs of the repair commands, opened on their presets (CommandDialogs.h); true when
    // confirmed. The window's own forms (RepairDialogs.h), kept for the program's life.
    // The frame rate: choice 0 25, 1 29.97, 2 personalized with its value.
    virtual bool FrameRate(QWidget* parent, int& choice, double& fps);
    // The codec: choice 0 "dvsd", 1 "dsvd", 2 "cdvc", 3 custom with its four characters.
    virtual bool Codec(QWidget* parent, int& choice, QString& code);
    // The time difference in days: the tape's date-time is the reference, the fixed one starts
    // at reference + shiftDays; shiftDays takes the confirmed difference.
    virtual bool TimeDifference(QWidget* parent, double reference, double& shiftDays);
};

}  // namespace kelvor::ui
