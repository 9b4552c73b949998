#pragma once

#include "platform/tree_walk.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// What each system implements of a TreeWalk: every call of the walk is handed to it unchanged,
// and it says what TreeWalk's calls say.
class TreeWalk::Impl
{
public:
    Impl() = default;
    virtual ~Impl() = default;
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    virtual MoveResult openTop(const std::string &path, const EntryIdentity &expected) = 0;
    virtual MoveResult enterChild(std::string_view name, const EntryIdentity &expected) = 0;
    virtual MoveResult enterParent(const EntryIdentity &expected) = 0;
    virtual bool hasCurrent() const = 0;
    virtual void close() = 0;
    virtual RemoveResult removeFile(std::string_view name, const EntryIdentity &expected) = 0;

    // The system's walk, one of `walks` running at once (directoriesKeptOpenPerWalk).
    static std::unique_ptr<Impl> forSystem(std::size_t walks);
};

} // namespace platform
