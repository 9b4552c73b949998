#pragma once

#include "platform/system_error.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// A settings file in the profile (INI) format, read once and then queried. It is never written.
//
// Rules: lines end in LF or CR LF; a UTF-8 byte-order mark at the start is skipped; a line
// "[name]" (blanks around the name ignored) opens a section; section and key names compare
// case-insensitively (ASCII letters), as text («02» is not «2»); blanks around a key and its
// value are removed, then one pair of matching double or single quotes around the whole value; a
// line whose first non-blank character is ";" is a comment; a ";" inside a value is part of it;
// when a section occurs twice only its first occurrence counts, and within it the first
// occurrence of a key; lines before the first section belong to none. Values are never cut.
class ProfileFile
{
public:
    // Reads the regular file at `path`. Returns nothing, with `error` set, when it is missing,
    // cannot be read, or is no regular file (ErrorKind::NotARegularFile: a pipe, a device; a
    // folder is AccessDenied); a pipe is never waited on.
    static std::optional<ProfileFile> load(const std::string &path, SystemError &error);
    // Parses profile text already in memory.
    static ProfileFile parse(std::string_view text);

    // The value of `key` in `section`, or nothing when the section or the key is missing. Each
    // look-up takes the same short time however many keys the file holds.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

private:
    // Names are held with their ASCII letters in lower case; the first occurrence is kept.
    using Section = std::unordered_map<std::string, std::string>;
    std::unordered_map<std::string, Section> m_sections;
};

} // namespace platform
