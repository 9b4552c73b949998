#include "platform/win32/log_encoding.h"

#include "platform/win32/wide_text.h"

#include <algorithm>
#include <cstdio>
#include <windows.h>

namespace platform::win32 {

unsigned logCodePage(std::string_view head, bool whole, unsigned systemCodePage)
{
    if (head.starts_with("\xEF\xBB\xBF"))
        return CP_UTF8;
    // A head cut short may end inside a character: only its whole lines are judged.
    if (!whole)
        head = head.substr(0, head.rfind('\n') + 1);
    const bool ascii = std::all_of(
        head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && isValidUtf8(head) ? CP_UTF8 : systemCodePage;
}

namespace {

// Appends the code page's bytes for `character` (one UTF-16 unit, or a surrogate pair); false when
// the code page has none for it and would put its default character in its place.
bool appendCharacter(std::string &out, std::wstring_view character, unsigned codePage)
{
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, character.data(),
        static_cast<int>(character.size()), bytes, sizeof bytes, nullptr, &usedDefault);
    if (length <= 0 || usedDefault)
        return false;
    out.append(bytes, static_cast<std::size_t>(length));
    return true;
}

bool isHighSurrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(wchar_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

void appendInCodePage(std::string &out, std::string_view utf8, unsigned codePage)
{
    // In UTF-8 every character fits; the bytes are already the log's.
    if (codePage == CP_UTF8) {
        out += utf8;
        return;
    }
    const std::wstring wide = wideFromUtf8(utf8);
    for (std::size_t i = 0; i < wide.size();) {
        const wchar_t unit = wide[i];
        // ASCII is the same in every ANSI code page.
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
            ++i;
            continue;
        }
        const bool pair
            = isHighSurrogate(unit) && i + 1 < wide.size() && isLowSurrogate(wide[i + 1]);
        const std::size_t units = pair ? 2 : 1;
        const bool lone = !pair && (isHighSurrogate(unit) || isLowSurrogate(unit));
        if (lone || !appendCharacter(out, std::wstring_view(wide).substr(i, units), codePage)) {
            const unsigned long code = pair
                ? 0x10000 + ((static_cast<unsigned long>(unit) - 0xD800) << 10)
                    + (static_cast<unsigned long>(wide[i + 1]) - 0xDC00)
                : static_cast<unsigned long>(unit);
            char escape[16];
            const int length = std::snprintf(escape, sizeof escape, "<U+%04lX>", code);
            out.append(escape, static_cast<std::size_t>(length));
        }
        i += units;
    }
}

} // namespace platform::win32
