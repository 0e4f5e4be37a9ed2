#include "core/files/DatePattern.h"

#include <cstdio>
#include <optional>

#include "core/files/DateTime.h"

namespace kelvor {
namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWithNoCase(std::string_view s, std::size_t pos, std::string_view prefix) {
    if (s.size() - pos < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (upper(s[pos + i]) != upper(prefix[i]))
            return false;
    return true;
}

// True when an am/pm, a/p or ampm specifier stands outside quotes anywhere in the pattern.
bool usesTwelveHourClock(std::string_view p) {
    char quote = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (upper(c) == 'A' &&
                   (startsWithNoCase(p, i, "am/pm") || startsWithNoCase(p, i, "a/p") ||
                    startsWithNoCase(p, i, "ampm"))) {
            return true;
        }
    }
    return false;
}

class Formatter {
  public:
    Formatter(const CivilDateTime& f, double value, const LocaleInfo& locale)
        : f_(f), value_(value), locale_(locale) {}

    void append(std::string_view pattern, int level) {
        const bool twelveHour = usesTwelveHourClock(pattern);
        char lastToken = ' ';
        std::size_t i = 0;
        while (i < pattern.size()) {
            const char starter = pattern[i];
            char token = upper(starter);
            if (isLetter(starter)) {
                // "m" directly after an hour specifier means minutes.
                if (token == 'M' && lastToken == 'H')
                    token = 'N';
                lastToken = token;
            }
            std::size_t count = 1;
            auto takeRun = [&] {
                while (i + count < pattern.size() && upper(pattern[i + count]) == upper(starter))
                    ++count;
            };
            switch (token) {
                case 'Y':
                    takeRun();
                    if (count <= 2)
                        number(f_.Year % 100, 2);
                    else
                        number(f_.Year, 4);
                    break;
                case 'M':
                    takeRun();
                    if (count <= 2)
                        number(f_.Month, static_cast<int>(count));
                    else if (count == 3)
                        out_ += locale_.ShortMonthNames[f_.Month - 1];
                    else
                        out_ += locale_.LongMonthNames[f_.Month - 1];
                    break;
                case 'D':
                    takeRun();
                    if (count <= 2)
                        number(f_.Day, static_cast<int>(count));
                    else if (count == 3)
                        out_ += locale_.ShortDayNames[DayOfWeek(value_) - 1];
                    else if (count == 4)
                        out_ += locale_.LongDayNames[DayOfWeek(value_) - 1];
                    else if (count == 5)
                        nested(locale_.ShortDateFormat, level);
                    else
                        nested(locale_.LongDateFormat, level);
                    break;
                case 'H': {
                    takeRun();
                    int h = f_.Hour;
                    if (twelveHour)
                        h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
                    number(h, count > 2 ? 2 : static_cast<int>(count));
                    break;
                }
                case 'N':
                    takeRun();
                    number(f_.Minute, count > 2 ? 2 : static_cast<int>(count));
                    break;
                case 'S':
                    takeRun();
                    number(f_.Second, count > 2 ? 2 : static_cast<int>(count));
                    break;
                case 'Z':
                    takeRun();
                    number(f_.Millisecond, count > 3 ? 3 : static_cast<int>(count));
                    break;
                case 'T':
                    takeRun();
                    nested(count == 1 ? locale_.ShortTimeFormat : locale_.LongTimeFormat, level);
                    break;
                case 'C':
                    takeRun();
                    nested(locale_.ShortDateFormat, level);
                    if (f_.Hour != 0 || f_.Minute != 0 || f_.Second != 0 || f_.Millisecond != 0) {
                        out_ += ' ';
                        nested(locale_.LongTimeFormat, level);
                    }
                    break;
                case 'A':
                    if (startsWithNoCase(pattern, i, "am/pm")) {
                        // The designator keeps the letter case the pattern was written in.
                        out_ += pattern.substr(f_.Hour >= 12 ? i + 3 : i, 2);
                        count = 5;
                    } else if (startsWithNoCase(pattern, i, "a/p")) {
                        out_ += pattern[f_.Hour >= 12 ? i + 2 : i];
                        count = 3;
                    } else if (startsWithNoCase(pattern, i, "ampm")) {
                        out_ += f_.Hour < 12 ? locale_.TimeAMString : locale_.TimePMString;
                        count = 4;
                    } else {
                        out_ += starter;
                    }
                    break;
                case '/':
                    out_ += locale_.DateSeparator;
                    break;
                case ':':
                    out_ += locale_.TimeSeparator;
                    break;
                case '\'':
                case '"': {
                    const std::size_t end = pattern.find(starter, i + 1);
                    const std::size_t stop = end == std::string_view::npos ? pattern.size() : end;
                    out_ += pattern.substr(i + 1, stop - i - 1);
                    count = (stop == pattern.size() ? stop : stop + 1) - i;
                    break;
                }
                default:
                    out_ += starter;
                    break;
            }
            i += count;
        }
    }

    std::string take() { return std::move(out_); }

  private:
    void number(int value, int digits) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", digits, value);
        out_ += buf;
    }

    // Locale formats are patterns themselves; two levels are enough and stop a format that
    // names itself from recursing forever.
    void nested(const std::string& pattern, int level) {
        if (level < 2)
            append(pattern, level + 1);
    }

    const CivilDateTime& f_;
    double value_;
    const LocaleInfo& locale_;
    std::string out_;
};

}  // namespace

const LocaleInfo& EnglishLocale() {
    static const LocaleInfo kEnglish = {
        {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
        {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
        {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
        {"January", "February", "March", "April", "May", "June", "July", "August", "September",
         "October", "November", "December"},
        "m/d/yyyy",
        "dddd, mmmm d, yyyy",
        "h:nn AMPM",
        "h:nn:ss AMPM",
        "/",
        ":",
        "AM",
        "PM",
    };
    return kEnglish;
}

std::string FormatDateTime(std::string_view pattern, double value, const LocaleInfo& locale) {
    const std::optional<CivilDateTime> f = DecodeDateTime(value);
    if (!f)
        return {};
    Formatter formatter(*f, value, locale);
    formatter.append(pattern, 0);
    return formatter.take();
}

}  // namespace kelvor
