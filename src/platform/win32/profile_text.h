#pragma once

#include "platform/system_error.h"

#include <optional>
#include <string>

// How a settings file on Windows becomes the UTF-8 text the profile parser reads.
namespace platform::win32 {

// `bytes` of a settings file as UTF-8: with a UTF-8 byte-order mark, unchanged (the parser skips
// the mark); UTF-16 with its byte-order mark (little or big endian), converted, unpaired
// surrogates as WTF-8; other text that is valid UTF-8, unchanged; anything else read in the ANSI
// code page, as Windows' own profile functions read it.
std::string profileTextAsUtf8(std::string bytes);

// Reads the regular file at `path` whole and returns it as profileTextAsUtf8 gives it. Returns
// nothing, with `error` set, when it cannot: a folder is AccessDenied, a pipe or a device
// NotARegularFile. Other programs may read and write the file
// meanwhile.
std::optional<std::string> readProfileText(const std::string &path, SystemError &error);

} // namespace platform::win32
