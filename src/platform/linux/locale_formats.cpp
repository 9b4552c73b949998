#include "platform/locale_formats.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <string_view>

namespace platform {

namespace {

// True when the category's locale is one of the neutral ones that stand for "no locale chosen".
bool isNeutral(int category)
{
    const char *name = std::setlocale(category, nullptr);
    if (!name)
        return true;
    const std::string_view n(name);
    return n == "C" || n == "POSIX" || n == "C.UTF-8" || n == "C.utf8";
}

std::string langinfo(nl_item item)
{
    const char *text = nl_langinfo(item);
    return text ? std::string(text) : std::string();
}

} // namespace

LocaleFormats loadUserLocaleFormats()
{
    std::setlocale(LC_ALL, "");
    tzset();

    LocaleFormats formats = germanFormats();
    if (!isNeutral(LC_TIME)) {
        formats.shortDate = langinfo(D_FMT);
        formats.longTime = langinfo(T_FMT);
        formats.twelveHourTime = langinfo(T_FMT_AMPM);
        formats.amText = langinfo(AM_STR);
        formats.pmText = langinfo(PM_STR);
        if (formats.shortDate.empty())
            formats.shortDate = germanFormats().shortDate;
        if (formats.longTime.empty())
            formats.longTime = germanFormats().longTime;
    }
    if (!isNeutral(LC_NUMERIC)) {
        const lconv *numeric = std::localeconv();
        formats.thousandsSeparator
            = numeric && numeric->thousands_sep ? numeric->thousands_sep : "";
    }
    return formats;
}

} // namespace platform
