#include "core/files/StoredDateText.h"

#include <array>
#include <vector>

#include "core/files/DateTime.h"
#include "core/files/DisplayStyle.h"
#include "core/scenes/SceneList.h"

namespace kelvor::files {
namespace {

// A probe whose fields all print differently, so each number of its text names its field.
constexpr CivilDateTime kProbe{2033, 11, 22, 13, 44, 55, 0};

struct Number {
    int Value = 0;
    std::size_t Digits = 0;
};

std::vector<Number> numbersOf(std::string_view text) {
    std::vector<Number> out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        Number n;
        // Nine digits at most: no field is longer, and the value stays in an int.
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (n.Digits < 9)
                n.Value = n.Value * 10 + (text[i] - '0');
            ++n.Digits;
            ++i;
        }
        out.push_back(n);
    }
    return out;
}

enum class Field { Year, ShortYear, Month, Day, Hour, TwelveHour, Minute, Second, Other };

Field fieldOf(const Number& probe) {
    switch (probe.Value) {
        case 2033:
            return Field::Year;
        case 33:
            return Field::ShortYear;
        case 11:
            return Field::Month;
        case 22:
            return Field::Day;
        case 13:
            return Field::Hour;
        case 1:
            return Field::TwelveHour;
        case 44:
            return Field::Minute;
        case 55:
            return Field::Second;
        default:
            return Field::Other;
    }
}

}  // namespace

std::optional<double> ReadFormattedDateTime(std::string_view text, std::string_view pattern,
                                            const LocaleInfo& locale) {
    const std::optional<double> probeValue = EncodeDateTime(kProbe);
    if (text.empty() || !probeValue)
        return std::nullopt;
    const std::vector<Number> probe = numbersOf(FormatDateTime(pattern, *probeValue, locale));
    const std::vector<Number> found = numbersOf(text);
    if (probe.empty() || probe.size() != found.size())
        return std::nullopt;
    CivilDateTime d;
    bool hasYear = false, hasMonth = false, hasDay = false;
    bool twelveHours = false;
    for (std::size_t i = 0; i < probe.size(); ++i) {
        const int v = found[i].Value;
        switch (fieldOf(probe[i])) {
            case Field::Year:
                d.Year = v;
                hasYear = true;
                break;
            case Field::ShortYear:
                // The camcorders' own pivot, as the datecode packs are read.
                d.Year = dv::YearFromTwoDigits(v % 100);
                hasYear = true;
                break;
            case Field::Month:
                d.Month = v;
                hasMonth = true;
                break;
            case Field::Day:
                d.Day = v;
                hasDay = true;
                break;
            case Field::Hour:
                d.Hour = v;
                break;
            case Field::TwelveHour:
                d.Hour = v % 12;
                twelveHours = true;
                break;
            case Field::Minute:
                d.Minute = v;
                break;
            case Field::Second:
                d.Second = v;
                break;
            case Field::Other:
                break;
        }
    }
    if (!hasYear || !hasDay)
        return std::nullopt;
    // What the numbers leave open (the half of the day, a month written as a name) is tried;
    // only a value that gives the same text is taken.
    for (int month = hasMonth ? d.Month : 1; month <= (hasMonth ? d.Month : 12); ++month) {
        for (const int half : {0, 12}) {
            if (half != 0 && !twelveHours)
                break;
            CivilDateTime c = d;
            c.Month = month;
            c.Hour += half;
            const std::optional<double> value = EncodeDateTime(c);
            if (value && FormatDateTime(pattern, *value, locale) == text)
                return value;
        }
    }
    return std::nullopt;
}

std::string CaptionInDisplayStyle(const std::string& caption, std::string_view displayFormat,
                                  const LocaleInfo& locale) {
    // "Scene <rank>: " before the date, the separator after it.
    std::size_t from = 0;
    constexpr std::string_view kScene = "Scene ";
    if (caption.starts_with(kScene)) {
        std::size_t at = kScene.size();
        while (at < caption.size() && caption[at] >= '0' && caption[at] <= '9')
            ++at;
        if (at > kScene.size() && caption.compare(at, 2, ": ") == 0)
            from = at + 2;
    }
    const std::size_t to = caption.find(scenes::kCaptionSeparator, from);
    const std::size_t end = to == std::string::npos ? caption.size() : to;
    const std::string_view date = std::string_view(caption).substr(from, end - from);
    const std::optional<double> value = ReadFormattedDateTime(date, displayFormat, locale);
    if (!value)
        return caption;
    const std::string shown = DisplayDateTime(*value, displayFormat, locale);
    if (shown.empty())
        return caption;
    return caption.substr(0, from) + shown + caption.substr(end);
}

}  // namespace kelvor::files
