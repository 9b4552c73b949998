#include "support/temp_tree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

[[noreturn]] void fail(const std::string &what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void removeTree(const std::string &path)
{
    // Deep trees are beyond std::filesystem's recursion and PATH_MAX; rm copes with both.
    const std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        ADD_FAILURE() << "could not remove " << path;
}

} // namespace

TempTree::TempTree()
{
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ablagekehrer-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        fail("mkdtemp");
    m_path = pattern + "/";
}

TempTree::~TempTree()
{
    removeTree(m_path.substr(0, m_path.size() - 1));
}

namespace {

// Opens the directory that holds `relative` below `root`, creating missing directories on the
// way, one level at a time, so that paths beyond what one system call takes work too. Returns the
// descriptor and leaves the last component in `leaf`.
int openParent(
    const std::string &root, std::string_view relative, std::string &leaf, bool create = false)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    for (std::size_t slash;
         fd >= 0 && (slash = relative.find('/', start)) != std::string_view::npos;
         start = slash + 1) {
        const std::string part(relative.substr(start, slash - start));
        if (part.empty())
            continue;
        if (create)
            mkdirat(fd, part.c_str(), 0755);
        const int child = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        close(fd);
        fd = child;
    }
    leaf = std::string(relative.substr(start));
    return fd;
}

} // namespace

void TempTree::makeDirectory(std::string_view relative) const
{
    std::string leaf;
    const int fd = openParent(m_path, std::string(relative) + "/", leaf, true);
    if (fd < 0)
        fail("mkdir " + std::string(relative));
    close(fd);
}

void TempTree::writeFile(std::string_view relative, std::string_view content) const
{
    std::string leaf;
    const int parent = openParent(m_path, relative, leaf, true);
    const int fd = parent < 0
        ? -1
        : openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (parent >= 0)
        close(parent);
    if (fd < 0 || write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        fail("write " + std::string(relative));
    close(fd);
}

void TempTree::writeSparseFile(std::string_view relative, std::uint64_t size) const
{
    writeFile(relative);
    if (truncate((*this / relative).c_str(), static_cast<off_t>(size)) != 0)
        fail("truncate");
}

void TempTree::makeSymlink(std::string_view target, std::string_view relative) const
{
    if (symlink(std::string(target).c_str(), (*this / relative).c_str()) != 0)
        fail("symlink");
}

void TempTree::setModified(std::string_view relative, std::time_t secondsSinceEpoch) const
{
    const timespec times[2] = { { secondsSinceEpoch, 0 }, { secondsSinceEpoch, 0 } };
    std::string leaf;
    const int parent = openParent(m_path, relative, leaf);
    const bool set
        = parent >= 0 && utimensat(parent, leaf.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
    if (parent >= 0)
        close(parent);
    if (!set)
        fail("utimensat " + std::string(relative));
}

std::string TempTree::readFile(std::string_view relative) const
{
    std::ifstream in(*this / relative, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string TempTree::readLog(std::string_view relative) const
{
    return readFile(relative);
}

bool TempTree::exists(std::string_view relative) const
{
    std::string leaf;
    const int parent = openParent(m_path, relative, leaf);
    struct stat info;
    const bool found
        = parent >= 0 && fstatat(parent, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (parent >= 0)
        close(parent);
    return found;
}

std::vector<std::string> regularFilesInSearchOrder(const std::string &directory)
{
    std::vector<std::string> files;
    DIR *stream = opendir(directory.c_str());
    while (const dirent *entry = stream ? readdir(stream) : nullptr) {
        const std::string name = entry->d_name;
        struct stat info;
        if (name == "." || name == ".." || lstat((directory + name).c_str(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode)) {
            for (std::string &file : regularFilesInSearchOrder(directory + name + "/"))
                files.push_back(std::move(file));
        } else if (S_ISREG(info.st_mode)) {
            files.push_back(directory + name);
        }
    }
    if (stream)
        closedir(stream);
    return files;
}

std::time_t localEpoch(int year, int month, int day, int hour, int minute, int second)
{
    tzset();
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

std::time_t localEpochDaysFromToday(int days, int hour, int minute, int second)
{
    tzset();
    const std::time_t now = std::time(nullptr);
    std::tm today {};
    localtime_r(&now, &today);
    return localEpoch(
        today.tm_year + 1900, today.tm_mon + 1, today.tm_mday + days, hour, minute, second);
}

} // namespace testing_support
