#include "platform/append_file.h"

#include "platform/path_separator.h"
#include "platform/win32/log_encoding.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform {

namespace {

// The most one WriteFile call is given.
constexpr std::size_t kMaxWriteBytes = 1U << 30;

// What the system refuses to open as a log file because of its name.
constexpr SystemError kBadName { ErrorKind::BadName, ERROR_INVALID_NAME };
constexpr SystemError kPathTooLong { ErrorKind::BadName, ERROR_FILENAME_EXCED_RANGE };
// A write the system took only a part of: the disk or the quota is full.
constexpr SystemError kShortWrite { ErrorKind::DiskFull, 101 };

} // namespace

struct LockedAppendFile::Handle
{
    HANDLE file = INVALID_HANDLE_VALUE;
    // What the lines are written in: the encoding the file has, or for a new one the system's.
    unsigned codePage = CP_ACP;
};

namespace {

// The code page of the file open at `file`'s start, judged by its first bytes.
SystemError codePageOf(HANDLE file, unsigned &codePage)
{
    std::string head(win32::kLogHeadBytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return lastSystemError();
    head.resize(read);
    codePage = win32::logCodePage(head, read < win32::kLogHeadBytes, GetACP());
    return {};
}

} // namespace

LockedAppendFile::LockedAppendFile() = default;

LockedAppendFile::~LockedAppendFile()
{
    close();
}

SystemError LockedAppendFile::open(const std::string &path)
{
    close();
    if (!isUsablePath(path))
        return kBadName;
    if (path.size() > kMaxPathLength)
        return kPathTooLong;
    // Absolute paths go in their long form, so that no length limit of the old API applies.
    const std::wstring name = win32::systemPath(path);
    // Others may read the log while it is open, but not write it: a second run opening it gets a
    // sharing violation, the lock. Cutting a torn line off needs the right to write, not only to
    // append; since nobody else can write, the file pointer stays at the end, where every write
    // goes.
    // Its beginning is read for the encoding it is in.
    const HANDLE file = CreateFileW(name.c_str(),
        FILE_APPEND_DATA | FILE_WRITE_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            return { ErrorKind::InUse, static_cast<int>(error) };
        return systemError(static_cast<int>(error));
    }
    unsigned codePage = CP_ACP;
    SystemError error = codePageOf(file, codePage);
    if (!error && !SetFilePointerEx(file, LARGE_INTEGER {}, nullptr, FILE_END))
        error = lastSystemError();
    if (error) {
        CloseHandle(file);
        return error;
    }
    m_handle = std::make_unique<Handle>(Handle { file, codePage });
    return {};
}

std::string_view LockedAppendFile::encoded(std::string_view text)
{
    if (!m_handle || m_handle->codePage == CP_UTF8)
        return text;
    m_encoded.clear();
    win32::appendInCodePage(m_encoded, text, m_handle->codePage);
    return m_encoded;
}

SystemError LockedAppendFile::writeSome(std::string_view bytes, std::size_t &written)
{
    written = 0;
    if (!m_handle)
        return systemError(ERROR_INVALID_HANDLE);
    const auto asked = static_cast<DWORD>(std::min(bytes.size(), kMaxWriteBytes));
    DWORD taken = 0;
    const BOOL ok = WriteFile(m_handle->file, bytes.data(), asked, &taken, nullptr);
    written = taken;
    if (!ok)
        return lastSystemError();
    // A disk file takes all of a write or fails; taking a part means there was no room for the
    // rest.
    if (taken < asked)
        return kShortWrite;
    return {};
}

void LockedAppendFile::cutBack(std::size_t written)
{
    // The part is cut off only while it is still the end of the file, as it is while nobody else
    // can write it.
    const HANDLE file = m_handle->file;
    LARGE_INTEGER end {};
    LARGE_INTEGER size {};
    if (!SetFilePointerEx(file, LARGE_INTEGER {}, &end, FILE_CURRENT) || !GetFileSizeEx(file, &size)
        || size.QuadPart != end.QuadPart)
        return;
    LARGE_INTEGER start {};
    start.QuadPart = end.QuadPart - static_cast<LONGLONG>(written);
    if (start.QuadPart >= 0 && SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
}

SystemError LockedAppendFile::close()
{
    if (!m_handle)
        return {};
    const HANDLE file = m_handle->file;
    m_handle.reset();
    // Closing releases the lock.
    return CloseHandle(file) ? SystemError {} : lastSystemError();
}

} // namespace platform
