#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// Names are UTF-16 at the Win32 interface and UTF-8 everywhere else. A name Windows holds with an
// unpaired surrogate is carried as WTF-8 (the surrogate encoded like any other code point), so it
// converts back to the very same UTF-16 name.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The \\?\ form of a path (\\?\UNC\ for a share), which the wide API takes beyond 260 characters.
// A relative path is taken relative to the current directory first; "/" becomes "\". Empty when
// the path cannot be made absolute.
std::wstring longPath(std::string_view utf8Path);

} // namespace platform::win32
