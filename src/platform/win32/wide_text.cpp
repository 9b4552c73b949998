#include "platform/win32/wide_text.h"

#include "platform/path_separator.h"

#include <windows.h>

namespace platform::win32 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Decodes the sequence at `text[i]` and advances `i` past it. Surrogates in their three-byte form
// are decoded when `allowSurrogates` is set; anything else that is not UTF-8 yields nothing and
// moves on by one byte.
bool decodeOne(std::string_view text, std::size_t &i, bool allowSurrogates, char32_t &code)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        ++i;
        return true;
    }
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        minimum = 0x10000;
    }
    if (length == 0 || text.size() - i < length) {
        ++i;
        return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (!isContinuation(byte(k))) {
            ++i;
            return false;
        }
        code = (code << 6) | (byte(k) & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < minimum || code > 0x10FFFF || (surrogate && !allowSurrogates)) {
        ++i;
        return false;
    }
    i += length;
    return true;
}

// The text a system call writes into a buffer by `call(buffer, size)`, which returns its length,
// or the size it needs (its NUL counted) when the buffer is too small, or 0 on failure.
template <typename Call> std::wstring systemText(Call call)
{
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0)
            return {};
        const bool fits = length < text.size();
        text.resize(length);
        if (fits)
            return text;
    }
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Whether `path` is a full one: it begins with a drive ("C:\") or a share ("\\").
template <typename Char> bool isFullPath(std::basic_string_view<Char> path)
{
    const auto isSeparator = [](Char c) { return c == Char('\\') || c == Char('/'); };
    return (path.size() >= 3 && path[1] == Char(':') && isSeparator(path[2]))
        || (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

} // namespace

std::wstring wideFromUtf8(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        if (!decodeOne(text, i, true, code))
            code = kReplacement;
        if (code >= 0x10000) {
            code -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        } else {
            wide.push_back(static_cast<wchar_t>(code));
        }
    }
    return wide;
}

std::string utf8FromWide(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<char16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, code);
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        char32_t code = 0;
        if (!decodeOne(text, i, false, code))
            return false;
    }
    return true;
}

std::wstring extendedLengthForm(std::wstring_view fullPath)
{
    if (fullPath.starts_with(L"\\\\?\\") || fullPath.starts_with(L"\\\\.\\"))
        return std::wstring(fullPath);
    std::wstring path(fullPath);
    for (wchar_t &c : path) {
        if (c == L'/')
            c = L'\\';
    }
    // The root: "\\?\C:" for a drive, "\\?\UNC\server\share" for a share. ".." never climbs
    // above it, as the system's own resolution does not.
    std::wstring result;
    std::size_t rest = 0;
    if (path.starts_with(L"\\\\")) {
        const std::size_t server = path.find(L'\\', 2);
        const std::size_t share
            = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        rest = share == std::wstring::npos ? path.size() : share;
        result = L"\\\\?\\UNC\\" + path.substr(2, rest - 2);
    } else {
        rest = 2;
        result = L"\\\\?\\" + path.substr(0, rest);
    }
    const std::size_t rootLength = result.size();
    for (std::size_t start = rest; start < path.size();) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring_view part = std::wstring_view(path).substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == L".")
            continue;
        if (part == L"..") {
            const std::size_t last = result.rfind(L'\\');
            result.resize(last > rootLength ? last : rootLength);
            continue;
        }
        result += L'\\';
        result += part;
    }
    // A root, and a folder written with its final separator, keep it.
    if (result.size() == rootLength || path.ends_with(L'\\'))
        result += L'\\';
    return result;
}

std::wstring longPath(std::string_view path)
{
    if (!isUsablePath(path))
        return {};
    std::wstring wide = wideFromUtf8(path);
    // The extended form is taken as the caller wrote it.
    if (wide.starts_with(L"\\\\?\\"))
        return wide;
    // A device name ("NUL", "C:\x\CON") names the device in any folder; the system says so.
    std::wstring full = systemText([&](wchar_t *buffer, DWORD size) {
        return GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
    });
    if (full.empty() || full.starts_with(L"\\\\.\\"))
        return full;
    // The system's full path has lost the final dots and blanks of each name, which the
    // extended form keeps (a name may end in them): full paths are resolved here, and relative
    // ones only take the current folder from the system.
    if (isFullPath(std::wstring_view(wide)))
        return extendedLengthForm(wide);
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool fromCurrentFolder = !isSeparator(wide[0]) && !(wide.size() >= 2 && wide[1] == L':');
    if (!fromCurrentFolder)
        return extendedLengthForm(full);
    const std::wstring current = systemText(
        [](wchar_t *buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
    return current.empty() ? std::wstring() : extendedLengthForm(current + L"\\" + wide);
}

std::wstring systemPath(std::string_view path)
{
    return isFullPath(path) ? longPath(path) : wideFromUtf8(path);
}

} // namespace platform::win32
