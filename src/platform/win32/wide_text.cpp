#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform::win32 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The code point starting at `utf8[at]`, advancing `at` past it. A malformed sequence gives the
// replacement character and consumes one byte, so the rest still converts.
char32_t decode(std::string_view utf8, std::size_t &at)
{
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        ++at;
        return kReplacement;
    }
    if (at + length > utf8.size()) {
        ++at;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[at + i]);
        if (!isContinuation(byte)) {
            ++at;
            return kReplacement;
        }
        value = (value << 6) | (byte & 0x3Fu);
    }
    // Overlong forms and values beyond Unicode would name something else than they seem to.
    if (value < least || value > 0x10FFFF) {
        ++at;
        return kReplacement;
    }
    at += length;
    return value;
}

void encode(char32_t value, std::string &out)
{
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

} // namespace

std::wstring toWide(std::string_view utf8)
{
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const char32_t value = decode(utf8, at);
        if (value >= 0x10000) {
            const char32_t offset = value - 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (offset >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            // A surrogate encoded on its own (WTF-8) stays that surrogate.
            wide.push_back(static_cast<wchar_t>(value));
        }
    }
    return wide;
}

std::string toUtf8(std::wstring_view wide)
{
    std::string utf8;
    utf8.reserve(wide.size());
    for (std::size_t at = 0; at < wide.size(); ++at) {
        const char32_t unit = static_cast<char16_t>(wide[at]);
        if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < wide.size()) {
            const char32_t next = static_cast<char16_t>(wide[at + 1]);
            if (next >= 0xDC00 && next < 0xE000) {
                encode(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), utf8);
                ++at;
                continue;
            }
        }
        encode(unit, utf8);
    }
    return utf8;
}

std::wstring longPath(std::string_view utf8Path)
{
    std::wstring path = toWide(utf8Path);
    if (path.empty() || path.find(L'\0') != std::wstring::npos)
        return {};
    for (wchar_t &unit : path) {
        if (unit == L'/')
            unit = L'\\';
    }
    if (path.starts_with(L"\\\\?\\"))
        return path;
    // The \\?\ form is taken as it stands: "." and "..", relative paths and doubled separators
    // are resolved here first.
    std::wstring full(path.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD length
            = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return {};
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

} // namespace platform::win32
