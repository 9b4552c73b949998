#include "platform/calendar.h"

namespace platform {

// Both directions are Howard Hinnant's civil-calendar algorithms (days_from_civil and
// civil_from_days): the proleptic Gregorian calendar counted in eras of 400 years, 146,097 days
// each, with the year taken to begin on 1 March so that the leap day falls at its end; dates
// before 1970 count back from it the same way.
long long daysSinceEpoch(const LocalTime &time)
{
    const unsigned month = time.month;
    const long long year = static_cast<long long>(time.year) - (month <= 2);
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + time.day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

LocalTime dateFromDays(long long days)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra
        = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    LocalTime result;
    result.year
        = static_cast<std::int32_t>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2));
    result.month = static_cast<std::uint8_t>(month);
    result.day = static_cast<std::uint8_t>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    return result;
}

} // namespace platform
