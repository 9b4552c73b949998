#include "platform/file_trust.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kOthersWrite = S_IWGRP | S_IWOTH;

// The real path of `path`, links resolved; empty when it cannot be told.
std::string realPath(const std::string &path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// Checks the folders of the absolute `path` from the one holding its last component up to "/",
// as careful system tools do: each must belong to root and be writable by nobody else, lest its
// entries be replaced. Above the file's own folder, a sticky folder (such as /tmp) may be writable
// by all, since others cannot rename or remove root's entries in it.
TrustCheck checkFolders(const std::string &path)
{
    std::string below = path;
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos;
         slash = slash == 0 ? std::string::npos : path.rfind('/', slash - 1)) {
        const std::string folder = path.substr(0, slash + 1);
        struct stat info;
        if (stat(folder.c_str(), &info) != 0)
            return {};
        // Others may remove or rename only their own entries of a sticky folder.
        struct stat entry;
        const bool sticky = (info.st_mode & S_ISVTX) != 0 && below != path
            && lstat(below.c_str(), &entry) == 0 && entry.st_uid == 0;
        if (info.st_uid != 0 || ((info.st_mode & kOthersWrite) != 0 && !sticky))
            return { Distrust::FolderOthersMayWrite, folder };
        below = path.substr(0, slash == 0 ? 1 : slash);
    }
    return {};
}

} // namespace

TrustCheck superuserTrust(const std::string &path)
{
    if (geteuid() != 0)
        return {};
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return {};
    if (info.st_uid != 0)
        return { Distrust::OtherOwner, {} };
    if ((info.st_mode & kOthersWrite) != 0)
        return { Distrust::OthersMayWrite, {} };
    // The folders of the path as given, where a link in its place may lie, and those of the
    // file the links lead to.
    std::string named = path;
    if (named.front() != '/') {
        const std::string current = realPath(".");
        named = current + (current == "/" ? "" : "/") + named;
    }
    TrustCheck given = checkFolders(named);
    if (given.distrust != Distrust::None)
        return given;
    const std::string real = realPath(path);
    return real.empty() ? TrustCheck {} : checkFolders(real);
}

} // namespace platform
