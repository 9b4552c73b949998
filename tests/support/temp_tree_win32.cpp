#include "platform/calendar.h"
#include "platform/local_time.h"
#include "platform/win32/wide_text.h"
#include "support/run_on_host.h"
#include "support/temp_tree.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <windows.h>

using platform::win32::longPath;
using platform::win32::utf8FromWide;

namespace testing_support {

namespace {

// Windows 10 lets a process without privileges create links when the developer mode is on.
constexpr DWORD kUnprivilegedLink = 0x2;

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error(what + ": Win32 error " + std::to_string(GetLastError()));
}

// The extended-length form of `path`: every call below takes paths past 260 characters.
std::wstring systemPath(const std::string &path)
{
    std::wstring wide = longPath(path);
    if (wide.empty())
        fail("path " + path);
    return wide;
}

// Removes the link or junction `link` to a folder. Wine shows a link made on the host as a
// folder with a reparse point and removes it neither as a folder nor as a file: the host does.
bool removeLink(const std::wstring &link)
{
    return RemoveDirectoryW(link.c_str()) || DeleteFileW(link.c_str())
        || runOnHost("/bin/rm", { link },
            [&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

// Removes the folder `directory` (extended-length form, no final separator) and everything in
// it. A link or junction to a folder is removed itself; what it points to is never entered.
bool removeTree(const std::wstring &directory)
{
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileExW(
        (directory + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    bool removed = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = directory + L"\\" + name;
            // A read-only file cannot be deleted, and a read-only folder not removed.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(child.c_str(),
                    (entry.dwFileAttributes & ~DWORD { FILE_ATTRIBUTE_READONLY })
                        | FILE_ATTRIBUTE_NORMAL);
            const bool isFolder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            const bool isLink = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            if (isFolder && !isLink)
                removed = removeTree(child) && removed;
            else if (isFolder)
                removed = removeLink(child) && removed;
            else
                removed = DeleteFileW(child.c_str()) && removed;
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return RemoveDirectoryW(directory.c_str()) && removed;
}

// The folder that holds `relative`'s last component; empty for the tree's top.
std::string_view parentFolder(std::string_view relative)
{
    const std::size_t slash = relative.find_last_of("/\\");
    return slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash);
}

class Handle
{
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    {
    }
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kEpochInSeconds = 11'644'473'600;

} // namespace

TempTree::TempTree()
{
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH)
        fail("GetTempPathW");
    // The process, the time and a counter make a name no other test run is using.
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0;; ++attempt) {
        const std::string candidate = utf8FromWide(std::wstring_view(base, length))
            + "ablagekehrer-test-" + std::to_string(GetCurrentProcessId()) + "-"
            + std::to_string(GetTickCount64()) + "-" + std::to_string(counter++);
        if (CreateDirectoryW(systemPath(candidate).c_str(), nullptr)) {
            m_path = candidate + "\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS || attempt == 100)
            fail("CreateDirectoryW " + candidate);
    }
}

TempTree::~TempTree()
{
    if (!removeTree(systemPath(m_path.substr(0, m_path.size() - 1))))
        ADD_FAILURE() << "could not remove " << m_path;
}

void TempTree::makeDirectory(std::string_view relative) const
{
    // The parents are made only when missing: a deep tree is built in one call per folder, not
    // one per level above it (Wine looks up every level of a path on each call).
    const std::wstring path = systemPath(*this / relative);
    if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return;
    if (GetLastError() == ERROR_PATH_NOT_FOUND && !parentFolder(relative).empty()) {
        makeDirectory(parentFolder(relative));
        if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            return;
    }
    fail("CreateDirectoryW " + std::string(relative));
}

void TempTree::writeFile(std::string_view relative, std::string_view content) const
{
    const std::wstring path = systemPath(*this / relative);
    HANDLE made = CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND
        && !parentFolder(relative).empty()) {
        makeDirectory(parentFolder(relative));
        made = CreateFileW(
            path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    const Handle file(made);
    DWORD written = 0;
    if (!file.valid()
        || !WriteFile(
            file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr)
        || written != content.size())
        fail("write " + std::string(relative));
}

void TempTree::writeSparseFile(std::string_view relative, std::uint64_t size) const
{
    writeFile(relative);
    const Handle file(CreateFileW(systemPath(*this / relative).c_str(), GENERIC_WRITE, 0, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD returned = 0;
    // Without the sparse mark the system would write out every byte; a file system without
    // sparse files still takes the size.
    if (file.valid())
        DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!file.valid() || !SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)
        || !SetEndOfFile(file.get()))
        fail("SetEndOfFile " + std::string(relative));
}

void TempTree::makeSymlink(std::string_view target, std::string_view relative) const
{
    std::string targetPath(target);
    for (char &c : targetPath) {
        if (c == '/')
            c = '\\';
    }
    // A link to a folder is made as one; the kind is read from the target as the link will see it.
    const bool absolute
        = targetPath.starts_with("\\\\") || (targetPath.size() > 1 && targetPath[1] == ':');
    const std::string linkPath = *this / relative;
    const std::string seen
        = absolute ? targetPath : linkPath.substr(0, linkPath.find_last_of("/\\") + 1) + targetPath;
    const DWORD attributes = GetFileAttributesW(systemPath(seen).c_str());
    const DWORD kind
        = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ? SYMBOLIC_LINK_FLAG_DIRECTORY
        : 0;
    if (!CreateSymbolicLinkW(systemPath(linkPath).c_str(),
            platform::win32::wideFromUtf8(targetPath).c_str(), kind | kUnprivilegedLink))
        fail("CreateSymbolicLinkW " + std::string(relative));
    // Wine 8 answers success and makes nothing: a test that needs the link must not go on
    // without it.
    const DWORD made = GetFileAttributesW(systemPath(linkPath).c_str());
    if (made == INVALID_FILE_ATTRIBUTES || !(made & FILE_ATTRIBUTE_REPARSE_POINT))
        throw std::runtime_error("the system made no link at " + std::string(relative));
}

void TempTree::setModified(std::string_view relative, std::time_t secondsSinceEpoch) const
{
    // The link itself, not its target, as on Linux.
    const Handle file(CreateFileW(systemPath(*this / relative).c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::int64_t seconds = secondsSinceEpoch;
    if (seconds < -kEpochInSeconds)
        fail("time before 1601 for " + std::string(relative));
    const auto ticks = static_cast<std::uint64_t>((seconds + kEpochInSeconds) * kTicksPerSecond);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    if (!file.valid() || !SetFileTime(file.get(), nullptr, &time, &time))
        fail("SetFileTime " + std::string(relative));
}

std::string TempTree::readFile(std::string_view relative) const
{
    const Handle file(CreateFileW(systemPath(*this / relative).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    char buffer[65536];
    DWORD count = 0;
    while (
        file.valid() && ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
        content.append(buffer, count);
    return content;
}

std::string TempTree::readLog(std::string_view relative) const
{
    const std::string content = readFile(relative);
    const int length = MultiByteToWideChar(
        CP_ACP, 0, content.data(), static_cast<int>(content.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(
        CP_ACP, 0, content.data(), static_cast<int>(content.size()), wide.data(), length);
    return platform::win32::utf8FromWide(wide);
}

bool TempTree::exists(std::string_view relative) const
{
    // The attributes are the link's own: a dangling link exists, as on Linux.
    return GetFileAttributesW(systemPath(*this / relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> regularFilesInSearchOrder(const std::string &directory)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileExW((systemPath(directory) + L"*").c_str(), FindExInfoBasic,
        &entry, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::string name = utf8FromWide(entry.cFileName);
        if (name == "." || name == ".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (std::string &file : regularFilesInSearchOrder(directory + name + "\\"))
                files.push_back(std::move(file));
        } else {
            files.push_back(directory + name);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return files;
}

std::time_t localEpoch(int year, int month, int day, int hour, int minute, int second)
{
    // Months and days beyond their range count on into the next ones, as with mktime. The C
    // runtime's own time functions misread the zone under Wine: the system's are used.
    const int monthsFromZero = month - 1;
    const int yearShift = monthsFromZero >= 0 ? monthsFromZero / 12 : (monthsFromZero - 11) / 12;
    const platform::LocalTime firstOfMonth { year + yearShift,
        static_cast<std::uint8_t>(monthsFromZero - yearShift * 12 + 1), 1 };
    const platform::LocalTime date
        = platform::dateFromDays(platform::daysSinceEpoch(firstOfMonth) + day - 1);
    TIME_ZONE_INFORMATION rules;
    SYSTEMTIME local {};
    local.wYear = static_cast<WORD>(date.year);
    local.wMonth = date.month;
    local.wDay = date.day;
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    local.wSecond = static_cast<WORD>(second);
    SYSTEMTIME utc;
    FILETIME time;
    if (!GetTimeZoneInformationForYear(local.wYear, nullptr, &rules)
        || !TzSpecificLocalTimeToSystemTime(&rules, &local, &utc)
        || !SystemTimeToFileTime(&utc, &time))
        fail("local time " + std::to_string(year));
    const std::uint64_t ticks = (std::uint64_t { time.dwHighDateTime } << 32) | time.dwLowDateTime;
    return static_cast<std::time_t>(
        static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochInSeconds);
}

std::time_t localEpochDaysFromToday(int days, int hour, int minute, int second)
{
    const platform::LocalTime today = platform::localTimeOf(platform::currentEpochSeconds());
    return localEpoch(today.year, today.month, today.day + days, hour, minute, second);
}

} // namespace testing_support
