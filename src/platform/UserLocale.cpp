#include "platform/UserLocale.h"

#include "core/shell/LocalePatterns.h"

namespace kelvor::platform {

LocaleInfo UserLocaleInfo(const QLocale& locale) {
    // No locale chosen (LANG unset or C): the program's own English, not Qt's C formats.
    if (locale.language() == QLocale::C)
        return EnglishLocale();
    LocaleInfo info;
    for (int i = 0; i < 7; ++i) {
        // Qt counts from Monday (1) to Sunday (7); ours from Sunday.
        const int qtDay = i == 0 ? 7 : i;
        info.ShortDayNames[i] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
        info.LongDayNames[i] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
    }
    for (int m = 0; m < 12; ++m) {
        info.ShortMonthNames[m] = locale.monthName(m + 1, QLocale::ShortFormat).toStdString();
        info.LongMonthNames[m] = locale.monthName(m + 1, QLocale::LongFormat).toStdString();
    }
    const shell::ConvertedPattern shortDate =
        shell::PatternFromQtFormat(locale.dateFormat(QLocale::ShortFormat).toStdString(), '/');
    const shell::ConvertedPattern longDate =
        shell::PatternFromQtFormat(locale.dateFormat(QLocale::LongFormat).toStdString(), 0);
    const shell::ConvertedPattern shortTime =
        shell::PatternFromQtFormat(locale.timeFormat(QLocale::ShortFormat).toStdString(), ':');
    const shell::ConvertedPattern longTime =
        shell::PatternFromQtFormat(locale.timeFormat(QLocale::LongFormat).toStdString(), ':');
    info.ShortDateFormat = shortDate.Pattern;
    info.LongDateFormat = longDate.Pattern;
    info.ShortTimeFormat = shortTime.Pattern;
    info.LongTimeFormat = longTime.Pattern;
    info.DateSeparator = shortDate.Separator.empty() ? "/" : shortDate.Separator;
    info.TimeSeparator = !shortTime.Separator.empty()  ? shortTime.Separator
                         : !longTime.Separator.empty() ? longTime.Separator
                                                       : ":";
    info.TimeAMString = locale.amText().toStdString();
    info.TimePMString = locale.pmText().toStdString();
    return info;
}

}  // namespace kelvor::platform
