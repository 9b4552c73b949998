#include "platform/dir_search.h"

#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "platform/search_record.h"
#include "platform/system_error.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>
#include <winternl.h>

namespace platform {

namespace {

using win32::UniqueHandle;

// Errors that say nothing about the directory, only that the process or the system has no
// handle left: skipping the directory would hide files that are there.
bool outOfHandles(DWORD error)
{
    return error == ERROR_TOO_MANY_OPEN_FILES;
}

// The longest path, in UTF-16 units, that one open below a directory's handle takes.
constexpr std::size_t kLongestRelativePath = 32000;

// One read of a directory's entries returns at most this many bytes of them.
constexpr std::size_t kBufferBytes = std::size_t { 64 } * 1024;

// Directories are opened to read their entries and attributes only, and shared in every way, so
// that the search never stands in the way of another program.
constexpr ACCESS_MASK kDirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

enum class Kind : unsigned char {
    Directory, // to descend into
    File,
    Skipped, // a link to a directory or a junction, or a directory when the search does not descend
};

// An entry read from a directory and waiting to be reported.
struct Entry
{
    std::string name;
    Kind kind = Kind::File;
    std::uint64_t sizeBytes = 0;
    EntryIdentity identity;
};

struct Frame
{
    UniqueHandle handle; // closed while the search is deeper down, or once it cannot be reopened
    bool ended = false; // every entry has been read, or reading failed
    DWORD readError = 0; // why reading failed, until it is reported
    std::vector<Entry> entries; // read and not yet reported from `position` on
    std::size_t position = 0;
    std::string name; // empty for the searched directory
    std::uint64_t volumeSerial = 0;
    std::uint64_t fileId = 0;

    bool exhausted() const { return position >= entries.size(); }
    void dropRest()
    {
        entries.clear();
        position = 0;
        ended = true;
    }
};

// Opens the subdirectory `name` of the open directory `parent`, without following it when it is a
// link or a junction. Returns the Win32 error, or 0 with `child` open.
DWORD openSubdirectory(HANDLE parent, const std::wstring &name, UniqueHandle &child)
{
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, parent, nullptr);
    IO_STATUS_BLOCK status {};
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS result = NtCreateFile(&handle, kDirectoryAccess, &attributes, &status, nullptr,
        0, kShareAll, FILE_OPEN,
        FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT
            | FILE_OPEN_REPARSE_POINT,
        nullptr, 0);
    if (result < 0)
        return RtlNtStatusToDosError(result);
    child = UniqueHandle(handle);
    return 0;
}

// Where an open directory lies: its volume and file ID, and whether it is a link or junction.
DWORD locate(HANDLE handle, EntryIdentity &identity)
{
    if (!win32::identityOfHandle(handle, identity))
        return GetLastError();
    return 0;
}

// Reads the next entries of `frame` into it: name, size, times, attributes and file ID come in one
// call, with no lookup per entry. False once the directory has no more entries or cannot be read
// further (readError says why).
bool readEntries(Frame &frame, bool descend, std::vector<std::uint64_t> &buffer)
{
    if (frame.ended || !frame.handle)
        return false;
    buffer.resize(kBufferBytes / sizeof(std::uint64_t));
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    if (!GetFileInformationByHandleEx(
            frame.handle.get(), FileIdBothDirectoryInfo, buffer.data(), bytes)) {
        const DWORD error = GetLastError();
        frame.ended = true;
        frame.readError = error == ERROR_NO_MORE_FILES ? 0 : error;
        return false;
    }
    const auto *at = reinterpret_cast<const unsigned char *>(buffer.data());
    for (;;) {
        const auto *info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO *>(at);
        const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
        if (name != L"." && name != L"..") {
            Entry entry;
            entry.name = win32::utf8FromWide(name);
            const DWORD attributes = info->FileAttributes;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                // A link to a directory and a junction count as directories, and are never
                // followed.
                const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
                entry.kind = descend && !link ? Kind::Directory : Kind::Skipped;
            } else {
                entry.kind = Kind::File;
                const LONGLONG size = info->EndOfFile.QuadPart;
                entry.sizeBytes = size > 0 ? static_cast<std::uint64_t>(size) : 0;
                entry.identity = win32::identityOf(frame.volumeSerial, info->FileId.QuadPart,
                    info->LastWriteTime.QuadPart, info->ChangeTime.QuadPart, attributes);
            }
            frame.entries.push_back(std::move(entry));
        }
        if (info->NextEntryOffset == 0)
            return true;
        at += info->NextEntryOffset;
    }
}

class Search
{
public:
    Search(bool descend, TreeVisitor &visitor, const std::string &directory)
        : m_descend(descend)
        , m_visitor(visitor)
        // How many directories the search keeps open at once, however deep the tree:
        // directories farther up read their remaining entries into memory and close. A closed
        // directory is opened again, when the search comes back to it with subdirectories left
        // to open, by its path below the nearest directory still open.
        , m_openLevels(directoriesKeptOpen())
        , m_record(directory)
    {
    }

    SearchOutcome run(const std::string &directory)
    {
        // An unusable path (longPath gives none for it) names no folder.
        const std::wstring path = win32::longPath(directory);
        if (path.empty()) {
            fail(ERROR_FILE_NOT_FOUND, m_record.directory(), false);
            return m_record.outcome();
        }
        // The searched directory itself is followed when it is a link or a junction: links are
        // never followed below it.
        UniqueHandle handle(CreateFileW(path.c_str(), kDirectoryAccess, kShareAll, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle) {
            fail(GetLastError(), m_record.directory(), false);
            return m_record.outcome();
        }
        EntryIdentity identity;
        DWORD error = locate(handle.get(), identity);
        if (error == 0 && identity.type != static_cast<std::uint32_t>(win32::EntryType::Directory))
            error = ERROR_DIRECTORY;
        if (error != 0) {
            fail(error, m_record.directory(), false);
            return m_record.outcome();
        }
        Frame top;
        top.handle = std::move(handle);
        push(std::move(top), {}, identity);
        while (!m_stack.empty() && !m_record.failed())
            step();
        return m_record.outcome();
    }

private:
    void push(Frame frame, std::string name, const EntryIdentity &identity)
    {
        frame.name = std::move(name);
        frame.volumeSerial = identity.volume;
        frame.fileId = identity.fileId;
        m_stack.push_back(std::move(frame));
        ++m_openHandles;
        m_visitor.enterDirectory(m_stack.back().name, identity);
    }

    void step()
    {
        Frame &frame = m_stack.back();
        if (frame.exhausted()) {
            frame.entries.clear();
            frame.position = 0;
            if (!readEntries(frame, m_descend, m_buffer)) {
                const DWORD error = std::exchange(frame.readError, 0);
                if (!readFailed(m_stack.size() - 1, error))
                    pop();
                return;
            }
            if (frame.exhausted())
                return; // a read of "." and ".." only
        }
        const Entry &entry = frame.entries[frame.position++];
        if (entry.kind == Kind::Directory) {
            if (m_visitor.entersSubdirectory(entry.name))
                descendInto(frame, entry.name);
        } else if (entry.kind == Kind::File) {
            reportFile(m_visitor, entry.name, entry.sizeBytes, entry.identity);
        } else if (m_descend) {
            m_visitor.passedOver();
        }
    }

    void descendInto(Frame &frame, std::string name)
    {
        const std::size_t level = m_stack.size() - 1;
        // The directory could not be opened again: its subdirectories are out of reach.
        if (!frame.handle) {
            m_visitor.passedOver();
            return;
        }
        UniqueHandle child;
        DWORD error = openSubdirectory(frame.handle.get(), win32::wideFromUtf8(name), child);
        EntryIdentity identity;
        if (error == 0)
            error = locate(child.get(), identity);
        if (error != 0) {
            if (outOfHandles(error))
                fail(error, m_record.pathOf(m_stack, level) + name + kPathSeparator, true);
            else
                m_visitor.passedOver();
            return;
        }
        // Made a link or a junction since the directory was read: never followed.
        if (identity.type != static_cast<std::uint32_t>(win32::EntryType::Directory)) {
            m_visitor.passedOver();
            return;
        }
        if (m_openHandles >= m_openLevels && closeForDescent(frame, level))
            return;
        // `frame` may move when the stack grows; it is not used after this point.
        Frame opened;
        opened.handle = std::move(child);
        push(std::move(opened), std::move(name), identity);
    }

    // Reads the rest of `frame` into memory and closes its handle; true when reading it failed in
    // a way that ends the search.
    bool closeForDescent(Frame &frame, std::size_t level)
    {
        const std::size_t unread = frame.position;
        frame.entries.erase(
            frame.entries.begin(), frame.entries.begin() + static_cast<std::ptrdiff_t>(unread));
        frame.position = 0;
        while (readEntries(frame, m_descend, m_buffer)) { }
        closeHandle(frame);
        return readFailed(level, std::exchange(frame.readError, 0));
    }

    void pop()
    {
        closeHandle(m_stack.back());
        if (m_stack.size() >= 2) {
            const std::size_t parent = m_stack.size() - 2;
            if (!m_stack[parent].handle && needsHandle(m_stack[parent])) {
                const DWORD error = reopen(parent);
                if (outOfHandles(error)) {
                    fail(error, m_record.pathOf(m_stack, parent), parent > 0);
                    return;
                }
            }
        }
        m_stack.pop_back();
        m_visitor.leaveDirectory();
    }

    // A directory closed for a deep descent needs its handle again only to open subdirectories
    // still to come.
    bool needsHandle(const Frame &frame) const
    {
        if (!m_descend)
            return false;
        for (std::size_t i = frame.position; i < frame.entries.size(); ++i) {
            if (frame.entries[i].kind == Kind::Directory)
                return true;
        }
        return false;
    }

    // Opens the directory at `level` again by its path below the nearest directory still open, in
    // one open as far as the longest name allows, and checks its file ID: should it have been
    // moved or replaced meanwhile, its remaining entries are dropped rather than searched in the
    // wrong place. Returns the Win32 error when a lack of handles stopped it, else 0.
    DWORD reopen(std::size_t level)
    {
        std::size_t at = level;
        while (at > 0 && !m_stack[at].handle)
            --at;
        if (!m_stack[at].handle) {
            m_stack[level].dropRest();
            return 0;
        }
        HANDLE base = m_stack[at].handle.get();
        UniqueHandle reached;
        while (at < level) {
            std::wstring path = win32::wideFromUtf8(m_stack[++at].name);
            while (at < level) {
                const std::wstring next = win32::wideFromUtf8(m_stack[at + 1].name);
                if (path.size() + 1 + next.size() > kLongestRelativePath)
                    break;
                path += L'\\';
                path += next;
                ++at;
            }
            UniqueHandle handle;
            DWORD error = openSubdirectory(base, path, handle);
            EntryIdentity identity;
            if (error == 0)
                error = locate(handle.get(), identity);
            if (outOfHandles(error))
                return error;
            const Frame &frame = m_stack[at];
            if (error != 0 || identity.volume != frame.volumeSerial
                || identity.fileId != frame.fileId
                || identity.type != static_cast<std::uint32_t>(win32::EntryType::Directory)) {
                m_stack[level].dropRest();
                return 0;
            }
            reached = std::move(handle);
            base = reached.get();
        }
        m_stack[level].handle = std::move(reached);
        ++m_openHandles;
        return 0;
    }

    void closeHandle(Frame &frame)
    {
        if (frame.handle) {
            frame.handle.reset();
            --m_openHandles;
        }
    }

    bool readFailed(std::size_t level, DWORD error)
    {
        return m_record.readFailed(m_stack, level, static_cast<int>(error), outOfHandles(error));
    }

    void fail(DWORD error, std::string path, bool inSubdirectory)
    {
        m_record.fail(static_cast<int>(error), std::move(path), inSubdirectory);
    }

    bool m_descend;
    TreeVisitor &m_visitor;
    std::size_t m_openLevels;
    SearchRecord m_record;
    std::vector<Frame> m_stack;
    std::size_t m_openHandles = 0;
    std::vector<std::uint64_t> m_buffer;
};

} // namespace

SearchOutcome searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor, directory).run(directory);
}

} // namespace platform
