#include "platform/locale_formats.h"

#include "platform/win32/locale_pictures.h"
#include "platform/win32/wide_text.h"

#include <optional>
#include <windows.h>

namespace platform {

namespace {

// The user's setting `type`, or nothing when the system gives none.
std::optional<std::string> localeInfo(LCTYPE type)
{
    const int size = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::wstring value(static_cast<std::size_t>(size), L'\0');
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value.data(), size);
    if (length <= 0)
        return std::nullopt;
    // The length counts the terminating NUL.
    value.resize(static_cast<std::size_t>(length - 1));
    return win32::utf8FromWide(value);
}

} // namespace

LocaleFormats loadUserLocaleFormats()
{
    // Windows always has a user locale, so its formats are taken as they are; the German
    // conventions stand in only for a setting the system does not give.
    LocaleFormats formats = germanFormats();
    if (const auto date = localeInfo(LOCALE_SSHORTDATE); date && !date->empty())
        formats.shortDate = win32::patternFromWindowsPicture(*date);
    if (const auto time = localeInfo(LOCALE_STIMEFORMAT); time && !time->empty())
        formats.longTime = win32::patternFromWindowsPicture(*time);
    if (const auto separator = localeInfo(LOCALE_STHOUSAND))
        formats.thousandsSeparator = *separator;
    if (const auto am = localeInfo(LOCALE_S1159))
        formats.amText = *am;
    if (const auto pm = localeInfo(LOCALE_S2359))
        formats.pmText = *pm;
    return formats;
}

} // namespace platform
