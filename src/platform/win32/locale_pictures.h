#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// A date or time picture of Windows' locale settings ("dd.MM.yyyy", "h:mm:ss tt") as the
// strftime-like pattern platform::DateTimeFormat takes ("%d.%m.%Y", "%-I:%M:%S %p"). Text in
// single quotes is literal, two single quotes stand for one; every other character that is no
// picture letter is literal too. Era letters ("g") have no counterpart and are dropped. Calls no
// operating system.
std::string patternFromWindowsPicture(std::string_view picture);

} // namespace platform::win32
