#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// Names are UTF-16 at the system's interface and UTF-8 everywhere else; names that are no valid
// UTF-16 (an unpaired surrogate) travel as WTF-8, so that every name the system gives can be
// handed back to it unchanged.
std::wstring toWide(std::string_view utf8); // UTF-8 (WTF-8) to UTF-16
std::string toUtf8(std::wstring_view wide); // UTF-16 to UTF-8, unpaired surrogates WTF-8
// The \\?\ (or \\?\UNC\) form of an absolute path, which the system takes at any length.
std::wstring longPath(std::string_view utf8Path);

} // namespace platform::win32
