#include "platform/win32/locale_pictures.h"

namespace platform::win32 {

namespace {

// The pattern for `count` repetitions of the picture letter `letter`; empty for letters that
// are no picture.
std::string_view fieldFor(char letter, std::size_t count)
{
    switch (letter) {
    case 'd':
        return count == 1 ? "%-d" : count == 2 ? "%d" : count == 3 ? "%a" : "%A";
    case 'M':
        return count == 1 ? "%-m" : count == 2 ? "%m" : count == 3 ? "%b" : "%B";
    case 'y':
        return count == 1 ? "%-y" : count == 2 ? "%y" : "%Y";
    case 'h':
        return count == 1 ? "%-I" : "%I";
    case 'H':
        return count == 1 ? "%-H" : "%H";
    case 'm':
        return count == 1 ? "%-M" : "%M";
    case 's':
        return count == 1 ? "%-S" : "%S";
    // "t" asks for the first letter of the AM/PM text only; the pattern has no field for that,
    // and the whole text reads better than a wrong letter.
    case 't':
        return "%p";
    default:
        return {};
    }
}

void appendLiteral(std::string &out, char c)
{
    if (c == '%')
        out += "%%";
    else
        out.push_back(c);
}

} // namespace

std::string patternFromWindowsPicture(std::string_view picture)
{
    std::string pattern;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            // A quoted literal runs to the next lone quote or to the end; two quotes inside or
            // outside it stand for one quote.
            ++i;
            if (i < picture.size() && picture[i] == '\'') {
                pattern.push_back('\'');
                ++i;
                continue;
            }
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        pattern.push_back('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                appendLiteral(pattern, picture[i++]);
            }
            continue;
        }
        std::size_t count = 1;
        while (i + count < picture.size() && picture[i + count] == c)
            ++count;
        if (c == 'g') {
            i += count;
            continue;
        }
        const std::string_view field = fieldFor(c, count);
        if (field.empty()) {
            appendLiteral(pattern, c);
            ++i;
            continue;
        }
        pattern += field;
        i += count;
    }
    return pattern;
}

} // namespace platform::win32
