#include "ui/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

// The resource of the translations lives in a static library: nothing else would pull its
// initialiser into the program. The macro must be used outside any namespace.
static void InitTranslationResource() {
    Q_INIT_RESOURCE(kelvor_translations);
}

namespace kelvor::ui {

bool InstallTranslations(QCoreApplication& app, const QLocale& locale) {
    InitTranslationResource();
    auto* own = new QTranslator(&app);
    if (!own->load(locale, "kelvor", "_", ":/i18n")) {
        delete own;
        return false;
    }
    // The toolkit's texts only with ours, so an English window never gets French buttons.
    auto* toolkit = new QTranslator(&app);
    if (toolkit->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(toolkit);
    else
        delete toolkit;
    QCoreApplication::installTranslator(own);
    return true;
}

}  // namespace kelvor::ui
