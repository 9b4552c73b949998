#pragma once

#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <memory>

#ifdef _WIN32

namespace testing_support {

// Windows has no limit of open handles a process could lower for a test, and no tmpfs: the tests
// that need them skip themselves there before they get here.
class DescriptorLimit
{
public:
    explicit DescriptorLimit(unsigned long) { ADD_FAILURE() << "no descriptor limit on Windows"; }
    void leaveFree(std::size_t) { }
};

inline std::unique_ptr<TempTree> tmpfsTree()
{
    return nullptr;
}

} // namespace testing_support

#else

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

// Lowers the process's soft limit of open file descriptors for the life of the object, and can
// take up all but a few of them; everything is given back when it goes.
class DescriptorLimit
{
public:
    explicit DescriptorLimit(rlim_t softLimit)
    {
        EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &m_saved), 0);
        rlimit lowered = m_saved;
        lowered.rlim_cur = softLimit;
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    ~DescriptorLimit()
    {
        for (const int fd : m_taken)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &m_saved);
    }
    DescriptorLimit(const DescriptorLimit &) = delete;
    DescriptorLimit &operator=(const DescriptorLimit &) = delete;

    // Opens descriptors until the limit is reached, then closes `free` of them again.
    void leaveFree(std::size_t free)
    {
        for (int fd; (fd = dup(STDERR_FILENO)) >= 0;)
            m_taken.push_back(fd);
        EXPECT_EQ(errno, EMFILE);
        for (; free > 0 && !m_taken.empty(); --free) {
            close(m_taken.back());
            m_taken.pop_back();
        }
    }

private:
    rlimit m_saved {};
    std::vector<int> m_taken;
};

// A temporary tree on tmpfs, which takes file times up to 2^62 seconds and sparse files of up to
// 2^63 - 1 bytes; null when /dev/shm is no tmpfs.
inline std::unique_ptr<TempTree> tmpfsTree()
{
    struct statfs info;
    if (statfs("/dev/shm", &info) != 0 || info.f_type != TMPFS_MAGIC)
        return nullptr;
    const char *saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    setenv("TMPDIR", "/dev/shm", 1);
    auto tree = std::make_unique<TempTree>();
    if (saved)
        setenv("TMPDIR", savedValue.c_str(), 1);
    else
        unsetenv("TMPDIR");
    return tree;
}

// A file system mounted at `target` for the life of the object: a fresh tmpfs, or with `source` a
// bind mount of it. mounted() is false, with the reason in why(), where mounting is not
// permitted (not root, or in a container without the right).
class Mount
{
public:
    explicit Mount(const std::string &target, const std::string &source = {})
        : m_target(target)
    {
        const int result = source.empty()
            ? mount("none", target.c_str(), "tmpfs", 0, nullptr)
            : mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr);
        m_error = result == 0 ? 0 : errno;
    }
    ~Mount()
    {
        if (m_error == 0) {
            EXPECT_EQ(umount2(m_target.c_str(), MNT_DETACH), 0) << m_target;
        }
    }
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;

    bool mounted() const { return m_error == 0; }
    std::string why() const { return "cannot mount at " + m_target + ": " + strerror(m_error); }

private:
    std::string m_target;
    int m_error = 0;
};

} // namespace testing_support

#endif
