#include "support/temp_tree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

void TempTree::makeDirectory(std::string_view relative) const
{
    std::filesystem::create_directories(*this / relative);
}

void TempTree::writeFile(std::string_view relative, std::string_view content) const
{
    const std::string full = *this / relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        fail("write " + full);
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
    if (utimensat(AT_FDCWD, (*this / relative).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        fail("utimensat");
}

std::string TempTree::readFile(std::string_view relative) const
{
    std::ifstream in(*this / relative, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool TempTree::exists(std::string_view relative) const
{
    struct stat info;
    return lstat((*this / relative).c_str(), &info) == 0;
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
