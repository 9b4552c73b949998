#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The log on Windows is text in the system's ANSI code page, the one Notepad, PowerShell 5.1 and
// `type` read a file without a byte-order mark in. A log that earlier builds wrote in UTF-8 keeps
// UTF-8, so that no file ever mixes two encodings.
namespace platform::win32 {

// How much of an existing log's beginning is read to tell its encoding.
inline constexpr std::size_t kLogHeadBytes = std::size_t { 64 } * 1024;

// The code page that new lines of a log go in, from `head`, its first bytes (all of the file when
// `whole`): UTF-8 (65001) after a UTF-8 byte-order mark, or when the text is UTF-8 and not plain
// ASCII; otherwise, a new log included, `systemCodePage`.
unsigned logCodePage(std::string_view head, bool whole, unsigned systemCodePage);

// Appends `utf8` to `out` in `codePage`. A character the code page cannot hold, or a surrogate
// without its partner, is written as "<U+" and its code in four to six hexadecimal digits and
// ">": since no Windows name holds "<" or ">", the log still tells every name exactly.
void appendInCodePage(std::string &out, std::string_view utf8, unsigned codePage);

} // namespace platform::win32
