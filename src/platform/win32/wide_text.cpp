#include "platform/win32/wide_text.h"

#include <cstdint>

namespace platform::win32 {

std::wstring toWide(std::string_view utf8)
{
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        std::size_t length = 1;
        std::uint32_t code = lead;
        if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
            code = lead & 0x07U;
        } else if (lead >= 0xE0) {
            length = lead < 0xF0 ? 3 : 1;
            code = lead & 0x0FU;
        } else if (lead >= 0xC2) {
            length = 2;
            code = lead & 0x1FU;
        } else if (lead >= 0x80) {
            length = 0; // a continuation byte or an overlong lead: not a character
        }
        bool valid = length > 0 && at + length <= utf8.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(utf8[at + i]);
            valid = (next & 0xC0U) == 0x80U;
            code = (code << 6) | (next & 0x3FU);
        }
        // Overlong forms and values beyond Unicode are no characters; encoded surrogates are
        // WTF-8 and stand for themselves.
        if (valid
            && ((length == 3 && code < 0x800)
                || (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            valid = false;
        if (!valid) {
            wide.push_back(L'\xFFFD');
            ++at;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FFU)));
        } else {
            wide.push_back(static_cast<wchar_t>(code));
        }
        at += length;
    }
    return wide;
}

std::string toUtf8(std::wstring_view wide)
{
    std::string utf8;
    utf8.reserve(wide.size());
    for (std::size_t at = 0; at < wide.size(); ++at) {
        std::uint32_t code = static_cast<std::uint16_t>(wide[at]);
        if (code >= 0xD800 && code < 0xDC00 && at + 1 < wide.size()) {
            const std::uint32_t low = static_cast<std::uint16_t>(wide[at + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++at;
            }
        }
        if (code < 0x80) {
            utf8.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (code >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (code >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (code >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return utf8;
}

std::wstring longPath(std::string_view utf8Path)
{
    std::wstring path = toWide(utf8Path);
    for (wchar_t &c : path) {
        if (c == L'/')
            c = L'\\';
    }
    if (path.starts_with(L"\\\\?\\"))
        return path;
    if (path.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

} // namespace platform::win32
