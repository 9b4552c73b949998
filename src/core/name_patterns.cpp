#include "core/name_patterns.h"

#include "core/errors.h"
#include "core/messages.h"

#include <algorithm>

namespace core {

namespace {

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The bytes of the UTF-8 character that starts at `at`: its first byte and the continuation
// bytes after it.
std::size_t characterLength(std::string_view text, std::size_t at)
{
    std::size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end - at;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

bool matchesPattern(std::string_view pattern, std::string_view name)
{
    // The letters after the last wildcard are the name's last ones: most names that do not match
    // ("*.log" against "x.txt") fail there at once.
    while (!pattern.empty() && pattern.back() != '*' && pattern.back() != '?') {
        if (name.empty() || folded(pattern.back()) != folded(name.back()))
            return false;
        pattern.remove_suffix(1);
        name.remove_suffix(1);
    }
    // Left to right; on a mismatch the last "*" takes one character more and the rest is tried
    // again from there, so no name costs more than its length times the pattern's.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t afterStar = std::string_view::npos;
    std::size_t starTook = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            afterStar = ++p;
            starTook = n;
            // A "*" that ends the pattern takes the rest of the name, whatever it is.
            if (p == pattern.size())
                return true;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n);
        } else if (p < pattern.size() && folded(pattern[p]) == folded(name[n])) {
            ++p;
            ++n;
        } else if (afterStar != std::string_view::npos) {
            p = afterStar;
            starTook += characterLength(name, starTook);
            n = starTook;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

NamePatterns NamePatterns::parse(std::string_view list, std::string_view where)
{
    NamePatterns patterns;
    const auto blank = [](std::string_view text) {
        for (const char c : text) {
            if (!isBlank(c))
                return false;
        }
        return true;
    };
    if (blank(list))
        return patterns;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        std::string_view pattern = list.substr(start, end - start);
        while (!pattern.empty() && isBlank(pattern.front()))
            pattern.remove_prefix(1);
        while (!pattern.empty() && isBlank(pattern.back()))
            pattern.remove_suffix(1);
        if (pattern.empty())
            throw AppError(messages::emptyPattern(where));
        if (pattern.find_first_of("/\\") != std::string_view::npos)
            throw AppError(messages::patternWithSeparator(pattern, where));
        patterns.m_patterns.emplace_back(pattern);
        if (end == list.size())
            return patterns;
        start = end + 1;
    }
}

bool NamePatterns::matchesAny(std::string_view name) const
{
    for (const std::string &pattern : m_patterns) {
        if (matchesPattern(pattern, name))
            return true;
    }
    return false;
}

std::string NamePatterns::text() const
{
    std::string text;
    for (const std::string &pattern : m_patterns) {
        if (!text.empty())
            text += ';';
        text += pattern;
    }
    return text;
}

} // namespace core
