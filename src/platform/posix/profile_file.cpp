#include "platform/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// One pair of quotes is removed only when it encloses the whole value.
std::string_view unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == '"' || value.front() == '\''))
        return value.substr(1, value.size() - 2);
    return value;
}

// Reads the whole file; nothing when it cannot be opened or a read fails part-way.
std::optional<std::string> readWholeFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return content;
}

} // namespace

ProfileFile ProfileFile::load(const std::string &path)
{
    const auto content = readWholeFile(path);
    return content ? parse(*content) : ProfileFile {};
}

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
            // A repeated section is kept too, but the look-up finds only the first one: a key that
            // stands only in the repeat is not found.
            profile.m_sections.push_back(
                Section { std::string(trimBlanks(line.substr(1, close - 1))), {} });
            current = &profile.m_sections.back();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos)
            continue;
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string_view value = unquote(trimBlanks(line.substr(equals + 1)));
        // A repeated key is kept too; the look-up finds the first one.
        if (!key.empty())
            current->entries.push_back(Entry { std::string(key), std::string(value) });
    }
    return profile;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const
{
    const auto s = std::ranges::find_if(
        m_sections, [&](const Section &candidate) { return sameName(candidate.name, section); });
    if (s == m_sections.end())
        return std::nullopt;
    const auto e = std::ranges::find_if(
        s->entries, [&](const Entry &candidate) { return sameName(candidate.key, key); });
    if (e == s->entries.end())
        return std::nullopt;
    return e->value;
}

} // namespace platform
