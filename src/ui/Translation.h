// The window's language: the translation of the interface for a locale, with the toolkit's own
// texts (standard buttons, file dialogs) in the same language.
//
// Main thread; call before the window is built so that its texts are made in that language.
#pragma once

#include <QLocale>

class QCoreApplication;

namespace kelvor::ui {

// Installs into `app` the translations of the first language of `locale` that Kelvor has, and
// the toolkit's when they are installed; English (the source texts) when Kelvor has none.
// Returns whether a translation of Kelvor was installed. The translators belong to `app`.
bool InstallTranslations(QCoreApplication& app, const QLocale& locale);

}  // namespace kelvor::ui
