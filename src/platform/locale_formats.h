#pragma once

#include <string>

namespace platform {

// The user's conventions for showing dates, times and numbers, as strftime-like patterns.
struct LocaleFormats
{
    std::string shortDate = "%d.%m.%Y";
    std::string longTime = "%H:%M:%S";
    std::string thousandsSeparator = ".";
    std::string amText = "AM";
    std::string pmText = "PM";
    // The pattern that "%r" stands for in this locale.
    std::string twelveHourTime = "%I:%M:%S %p";
};

// Takes the user's locale from the environment and reads its formats. Where the environment
// selects no locale ("C", "POSIX", "C.UTF-8" or nothing), the German conventions apply, since the
// program speaks German. Linux announces no change of these settings, so they are read once.
LocaleFormats loadUserLocaleFormats();

// The German conventions: 13.06.2017, 09:26:50, 4.882.812.
inline LocaleFormats germanFormats()
{
    return {};
}

} // namespace platform
