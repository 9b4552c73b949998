#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace core {

// Whether `name` (a file's or folder's name alone, UTF-8) matches `pattern`: "*" stands for any
// run of characters, none too, "?" for exactly one character, every other character for itself.
// ASCII letters match either case on every system, so that one settings file chooses the same
// names on Linux and on Windows; other letters match only themselves.
bool matchesPattern(std::string_view pattern, std::string_view name);

// A list of name patterns, as a folder's rule or the command line gives it: patterns separated
// by ";", blanks around each dropped.
class NamePatterns
{
public:
    NamePatterns() = default;

    // Reads `list`; an empty or blank list gives no patterns. Throws core::AppError naming the
    // pattern and `where` (the setting or switch it was given in) for a pattern that is empty
    // (";;") or holds "/" or "\": a pattern names entries of one folder, never a path.
    static NamePatterns parse(std::string_view list, std::string_view where);

    bool empty() const { return m_patterns.empty(); }
    // Whether any of the patterns matches `name`.
    bool matchesAny(std::string_view name) const;
    // The patterns joined by ";", as the status bar shows them.
    std::string text() const;

    bool operator==(const NamePatterns &) const = default;

private:
    std::vector<std::string> m_patterns;
};

} // namespace core
