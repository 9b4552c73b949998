#pragma once

#include "platform/tree_walk_system.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/unique_handle.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

// The Windows walk, shared by its moves (tree_walk.cpp) and its removal of a file or an empty
// directory (tree_walk_removal.cpp).
namespace platform {

namespace win32 {

// Opens `name`, exactly one entry's name, relative to the open directory `parent` as
// NtCreateFile does, sharing it with everyone. Returns the handle, or null with `error` set to
// the system's error number; a name that would reach further (a separator, "..", a colon naming
// a stream) is refused as ERROR_INVALID_NAME.
HANDLE openRelative(
    HANDLE parent, std::wstring_view name, ACCESS_MASK access, ULONG options, DWORD &error);

} // namespace win32

// The walk's state on Windows: the open directories as handles, and every level's name and
// identity down from the listed top.
class SystemWalk final : public TreeWalk::Impl
{
public:
    using TreeWalk::Impl::Impl;

    MoveResult openTop(const std::string &path, const EntryIdentity &expected) override;
    MoveResult enterChild(std::string_view name, const EntryIdentity &expected) override;
    MoveResult enterParent(const EntryIdentity &expected) override;
    bool hasCurrent() const override { return !m_levels.empty(); }
    void close() override;
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected) override;
    RemoveResult removeDirectory(std::string_view name, const EntryIdentity &expected) override;
    MoveResult inPlace(bool whole) override;
    std::size_t depth() const override { return m_levels.empty() ? 0 : m_levels.size() - 1; }

    // A directory of the way down: its name in the level above (none for the top), its identity
    // as checked when it was entered, and its handle while it is kept open.
    struct Level
    {
        std::wstring name;
        std::uint64_t volume = 0;
        std::uint64_t fileId = 0;
        win32::UniqueHandle handle;

        EntryIdentity identity() const
        {
            EntryIdentity identity;
            identity.volume = volume;
            identity.fileId = fileId;
            identity.type = static_cast<std::uint32_t>(win32::EntryType::Directory);
            return identity;
        }
    };

    // Makes `handle` the current directory; null when it could not be opened, for the
    // system's `error`.
    MoveResult push(
        win32::UniqueHandle handle, DWORD error, std::wstring name, const EntryIdentity &expected);
    HANDLE current() const { return m_levels.back().handle.get(); }
    // Opens the levels from `from` (open, or `start` standing for it) down to `to` again by their
    // names, each checked against its identity; keeps the handles of those from `keepFrom` on.
    // Fails when one of them is no longer found in its place, or cannot be opened.
    MoveResult reopen(
        std::size_t from, std::size_t to, std::size_t keepFrom, HANDLE start = nullptr);
    // Looks the listed top up again by its path into `handle`, and finds it the directory the
    // walk entered, its last component the entry it was when the walk first opened it.
    MoveResult topInPlace(win32::UniqueHandle &handle);
    // What became of an entry whose opening or deletion failed with the system's `error`.
    RemoveResult failure(DWORD error);

    // The listed top first (always open), the current directory last. Those from m_firstOpen on
    // are open, so that a move up needs no lookup; those between are opened again from the top.
    std::vector<Level> m_levels;
    std::size_t m_firstOpen = 1;
    // The listed top as the walk first opened it, kept when the walk closes: its path as the
    // listing reached it (which may lead through links of the user's), the same path without a
    // final separator, so that its last component is looked at and not followed, and the
    // identities of the entry found under that and of the directory the path led to.
    std::string m_topPath;
    std::wstring m_topName;
    std::wstring m_topEntryName;
    EntryIdentity m_topEntry;
    EntryIdentity m_top;
};

} // namespace platform
