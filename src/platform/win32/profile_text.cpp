#include "platform/win32/profile_text.h"

#include "platform/profile_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform::win32 {

namespace {

std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    std::wstring wide(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        wide[i] = static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return utf8FromWide(wide);
}

std::string fromAnsiCodePage(const std::string &bytes)
{
    if (bytes.empty())
        return {};
    // Far larger files than a settings file would need, but the count is an int.
    if (bytes.size() > 0x7FFFFFFF)
        return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return utf8FromWide(wide);
}

} // namespace

std::string profileTextAsUtf8(std::string bytes)
{
    const std::string_view view(bytes);
    if (view.starts_with("\xEF\xBB\xBF"))
        return bytes;
    if (view.starts_with("\xFF\xFE"))
        return fromUtf16(view.substr(2), false);
    if (view.starts_with("\xFE\xFF"))
        return fromUtf16(view.substr(2), true);
    if (isValidUtf8(view))
        return bytes;
    return fromAnsiCodePage(bytes);
}

std::optional<std::string> readProfileText(const std::string &path, SystemError &error)
{
    const std::wstring wide = longPath(path);
    if (wide.empty()) {
        error = systemError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    // Backup semantics lets a folder be opened too, so that it is told apart from a file that
    // may not be read; the handle then says what it is.
    const UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        error = lastSystemError();
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(file.get()) != FILE_TYPE_DISK
        || !GetFileInformationByHandle(file.get(), &info)) {
        error = { ErrorKind::NotARegularFile, 0 };
        return std::nullopt;
    }
    // A folder is refused as Linux refuses it: access to it as a file is denied.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = systemError(ERROR_ACCESS_DENIED);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) {
            error = lastSystemError();
            return std::nullopt;
        }
        if (count == 0)
            break;
        content.append(buffer, count);
    }
    return profileTextAsUtf8(std::move(content));
}

} // namespace platform::win32
