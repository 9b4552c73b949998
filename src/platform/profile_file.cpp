#include "platform/profile_file.h"

#include "platform/text.h"

namespace platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text)
{
    return trimmed(text, isBlank);
}

// One pair of quotes is removed only when it encloses the whole value.
std::string_view unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

ProfileFile ProfileFile::parse(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);

    ProfileFile profile;
    // Where the keys of the current line go: nowhere before the first section.
    Section *current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        line = trimBlanks(line);

        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) {
                current = nullptr;
                continue;
            }
            // Only the first occurrence of a section is read: a key that stands only in a repeat
            // is not found.
            const auto [section, first]
                = profile.m_sections.try_emplace(lowerAscii(trimBlanks(line.substr(1, close - 1))));
            current = first ? &section->second : nullptr;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos)
            continue;
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string_view value = unquote(trimBlanks(line.substr(equals + 1)));
        // Of a repeated key, the first occurrence counts.
        if (!key.empty())
            current->try_emplace(lowerAscii(key), value);
    }
    return profile;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const
{
    const auto s = m_sections.find(lowerAscii(section));
    if (s == m_sections.end())
        return std::nullopt;
    const auto e = s->second.find(lowerAscii(key));
    if (e == s->second.end())
        return std::nullopt;
    return e->second;
}

} // namespace platform
