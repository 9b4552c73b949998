#include "platform/date_time_format.h"

#include "platform/calendar.h"
#include "platform/locale_formats.h"

#include <ctime>

namespace platform {

namespace {

void appendTwoDigits(std::string &out, unsigned value, char pad = '0')
{
    out.push_back(value >= 10 ? static_cast<char>('0' + value / 10 % 10) : pad);
    out.push_back(static_cast<char>('0' + value % 10));
}

void appendNumber(std::string &out, long long value)
{
    out += std::to_string(value);
}

std::tm toParts(const LocalTime &time)
{
    std::tm parts {};
    parts.tm_year = time.year - 1900;
    parts.tm_mon = time.month - 1;
    parts.tm_mday = time.day;
    parts.tm_hour = time.hour;
    parts.tm_min = time.minute;
    parts.tm_sec = time.second;
    const long long days = daysSinceEpoch(time);
    parts.tm_wday = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    parts.tm_yday = static_cast<int>(days - daysSinceEpoch(LocalTime { time.year, 1, 1 }));
    parts.tm_isdst = -1;
    return parts;
}

} // namespace

DateTimeFormat::DateTimeFormat(const std::string &pattern, const LocaleFormats &locale)
    : m_am(locale.amText)
    , m_pm(locale.pmText)
{
    compile(pattern, locale, 0);
}

void DateTimeFormat::compile(const std::string &pattern, const LocaleFormats &locale, int depth)
{
    auto literal = [this](std::string_view text) {
        if (m_pieces.empty() || m_pieces.back().field != Field::Literal)
            m_pieces.push_back({ Field::Literal, {} });
        m_pieces.back().text += text;
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            literal(std::string_view(&pattern[i], 1));
            continue;
        }
        const std::size_t start = i++;
        // The forms without a leading zero are formatted here: not every C library knows them.
        if (pattern[i] == '-' && i + 1 < pattern.size()) {
            constexpr std::string_view kUnpadded = "dmyHIMS";
            constexpr Field kUnpaddedFields[] = { Field::DayUnpadded, Field::MonthUnpadded,
                Field::Year2Unpadded, Field::Hour24Unpadded, Field::Hour12Unpadded,
                Field::MinuteUnpadded, Field::SecondUnpadded };
            if (const std::size_t k = kUnpadded.find(pattern[i + 1]); k != std::string_view::npos) {
                m_pieces.push_back({ kUnpaddedFields[k], {} });
                ++i;
                continue;
            }
        }
        // Flags, a width or an E/O modifier: left to the C library as a whole.
        while (i < pattern.size()
            && std::string_view("-_0^#EO123456789").find(pattern[i]) != std::string_view::npos)
            ++i;
        if (i == pattern.size())
            break;
        if (i > start + 1) {
            m_pieces.push_back({ Field::Other, pattern.substr(start, i - start + 1) });
            continue;
        }
        switch (pattern[i]) {
        case 'd':
            m_pieces.push_back({ Field::Day, {} });
            break;
        case 'e':
            m_pieces.push_back({ Field::DayBlank, {} });
            break;
        case 'm':
            m_pieces.push_back({ Field::Month, {} });
            break;
        case 'Y':
            m_pieces.push_back({ Field::Year, {} });
            break;
        case 'y':
            m_pieces.push_back({ Field::Year2, {} });
            break;
        case 'C':
            m_pieces.push_back({ Field::Century, {} });
            break;
        case 'H':
            m_pieces.push_back({ Field::Hour24, {} });
            break;
        case 'I':
            m_pieces.push_back({ Field::Hour12, {} });
            break;
        case 'M':
            m_pieces.push_back({ Field::Minute, {} });
            break;
        case 'S':
            m_pieces.push_back({ Field::Second, {} });
            break;
        case 'p':
            m_pieces.push_back({ Field::AmPm, {} });
            break;
        case 'n':
            literal("\n");
            break;
        case 't':
            literal("\t");
            break;
        case '%':
            literal("%");
            break;
        case 'T':
            compile("%H:%M:%S", locale, depth + 1);
            break;
        case 'R':
            compile("%H:%M", locale, depth + 1);
            break;
        case 'D':
            compile("%m/%d/%y", locale, depth + 1);
            break;
        case 'F':
            compile("%Y-%m-%d", locale, depth + 1);
            break;
        case 'r':
            if (depth < 2 && !locale.twelveHourTime.empty())
                compile(locale.twelveHourTime, locale, depth + 1);
            else
                m_pieces.push_back({ Field::Other, "%r" });
            break;
        default:
            m_pieces.push_back({ Field::Other, pattern.substr(start, 2) });
            break;
        }
    }
}

void DateTimeFormat::append(std::string &out, const LocalTime &time) const
{
    for (const Piece &piece : m_pieces) {
        switch (piece.field) {
        case Field::Literal:
            out += piece.text;
            break;
        case Field::Day:
            appendTwoDigits(out, time.day);
            break;
        case Field::DayBlank:
            appendTwoDigits(out, time.day, ' ');
            break;
        case Field::Month:
            appendTwoDigits(out, time.month);
            break;
        case Field::Year:
            appendNumber(out, time.year);
            break;
        case Field::Year2:
            appendTwoDigits(out, static_cast<unsigned>(((time.year % 100) + 100) % 100));
            break;
        case Field::Century:
            appendNumber(out, time.year / 100);
            break;
        case Field::Hour24:
            appendTwoDigits(out, time.hour);
            break;
        case Field::Hour12:
            appendTwoDigits(out, time.hour % 12 == 0 ? 12u : time.hour % 12u);
            break;
        case Field::Minute:
            appendTwoDigits(out, time.minute);
            break;
        case Field::Second:
            appendTwoDigits(out, time.second);
            break;
        case Field::AmPm:
            out += time.hour < 12 ? m_am : m_pm;
            break;
        case Field::DayUnpadded:
            appendNumber(out, time.day);
            break;
        case Field::MonthUnpadded:
            appendNumber(out, time.month);
            break;
        case Field::Year2Unpadded:
            appendNumber(out, ((time.year % 100) + 100) % 100);
            break;
        case Field::Hour24Unpadded:
            appendNumber(out, time.hour);
            break;
        case Field::Hour12Unpadded:
            appendNumber(out, time.hour % 12 == 0 ? 12 : time.hour % 12);
            break;
        case Field::MinuteUnpadded:
            appendNumber(out, time.minute);
            break;
        case Field::SecondUnpadded:
            appendNumber(out, time.second);
            break;
        case Field::Other: {
            const std::tm parts = toParts(time);
            char buffer[128];
            const std::size_t length
                = std::strftime(buffer, sizeof buffer, piece.text.c_str(), &parts);
            out.append(buffer, length);
            break;
        }
        }
    }
}

std::string DateTimeFormat::format(const LocalTime &time) const
{
    std::string out;
    append(out, time);
    return out;
}

} // namespace platform
