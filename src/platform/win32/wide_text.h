#pragma once

#include <string>
#include <string_view>

// Windows names its files in UTF-16; everything else in the program is UTF-8. These helpers are
// the one place where text crosses between the two.
namespace platform::win32 {

// `text` (UTF-8) as UTF-16. The three-byte form of a surrogate (WTF-8) becomes that surrogate
// again, so a name read from the system converts back to the same UTF-16; any other byte that is
// not UTF-8 becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view text);

// `text` (UTF-16) as UTF-8. A surrogate without its partner, which Windows allows in names,
// becomes its three-byte form (WTF-8) instead of being lost, so every name survives the round
// trip through wideFromUtf8.
std::string utf8FromWide(std::wstring_view text);

// Whether `text` is well-formed UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isValidUtf8(std::string_view text);

// The extended-length form of a full path, which takes the system's calls past 260 characters:
// "C:\a" becomes "\\?\C:\a", "\\server\share\a" becomes "\\?\UNC\server\share\a". Since the
// system takes that form literally, "/" becomes "\" and the components "." and ".." are resolved
// here; every other character stays, final dots and blanks of a name included, so that a name
// read from a folder names the same entry again. A path already in that form or naming a device
// ("\\.\") is returned as it is. `fullPath` begins with a drive ("C:\") or a share ("\\").
std::wstring extendedLengthForm(std::wstring_view fullPath);

// `path` (UTF-8, full or relative to the current folder, "/" or "\" as separators) in the
// extended-length form: what every Win32 call that takes a path is given. Empty when the path is
// empty, holds a NUL byte (cut there it would name another file) or cannot be made full.
std::wstring longPath(std::string_view path);

// `path` as the calls that open a file by its path are given it: a full path (on a drive or a
// share) in the extended-length form of longPath, a relative one as it stands, for the system to
// resolve against the current folder.
std::wstring systemPath(std::string_view path);

} // namespace platform::win32
