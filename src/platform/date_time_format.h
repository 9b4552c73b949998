#pragma once

#include "platform/local_time.h"

#include <string>
#include <vector>

namespace platform {

struct LocaleFormats;

// A date or time pattern in strftime's notation, prepared once and then applied to many times
// without parsing it again. The common fields are formatted directly, and so are their forms
// without a leading zero in glibc's spelling ("%-d", "%-m", "%-y", "%-H", "%-I", "%-M", "%-S"),
// which not every C library knows; any other conversion falls back to the C library for that
// field.
class DateTimeFormat
{
public:
    DateTimeFormat() = default;
    DateTimeFormat(const std::string &pattern, const LocaleFormats &locale);

    // Appends `time` formatted by the pattern to `out`.
    void append(std::string &out, const LocalTime &time) const;
    std::string format(const LocalTime &time) const;

private:
    enum class Field : unsigned char {
        Literal,
        Day,
        DayBlank,
        Month,
        Year,
        Year2,
        Century,
        Hour24,
        Hour12,
        Minute,
        Second,
        AmPm,
        DayUnpadded,
        MonthUnpadded,
        Year2Unpadded,
        Hour24Unpadded,
        Hour12Unpadded,
        MinuteUnpadded,
        SecondUnpadded,
        Other
    };
    struct Piece
    {
        Field field;
        std::string text; // the literal, or the conversion for Other
    };
    void compile(const std::string &pattern, const LocaleFormats &locale, int depth);

    std::vector<Piece> m_pieces;
    std::string m_am;
    std::string m_pm;
};

} // namespace platform
