// Builds a tree of old and new files for the benchmarks: `directories` folders (a first level of
// folders, each holding further folders), `files` files spread evenly over them, modification times
// spread over the last `days` days, sizes up to 100 KiB (sparse). The same arguments always give
// the same names, sizes and ages relative to now.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

unsigned long long g_state = 0x9E3779B97F4A7C15ULL;

unsigned long long next()
{
    g_state = g_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return g_state >> 33;
}

void makeFile(int dirFd, const std::string &name, std::time_t modified)
{
    const int fd = openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(name.c_str());
        std::exit(1);
    }
    if (ftruncate(fd, static_cast<off_t>(next() % (100 * 1024))) != 0)
        std::perror("ftruncate");
    const timespec times[2] = { { modified, 0 }, { modified, 0 } };
    futimens(fd, times);
    close(fd);
}

int openDirectory(int parent, const std::string &name)
{
    mkdirat(parent, name.c_str(), 0755);
    const int fd = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(name.c_str());
        std::exit(1);
    }
    return fd;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s DIR DIRECTORIES FILES DAYS\n", argv[0]);
        return 2;
    }
    const long directories = std::atol(argv[2]);
    const long files = std::atol(argv[3]);
    const long days = std::atol(argv[4]);
    const std::time_t now = std::time(nullptr);
    const int root = openDirectory(AT_FDCWD, argv[1]);

    // A first level of folders, each with as many folders below it as make up the count.
    long width = 1;
    while (width * width < directories)
        ++width;
    long made = 0;
    long fileNumber = 0;
    for (long top = 0; made < directories; ++top) {
        char topName[32];
        std::snprintf(topName, sizeof topName, "ordner-%03ld", top);
        const int topFd = openDirectory(root, topName);
        ++made;
        for (long sub = 0; sub <= width && made <= directories; ++sub) {
            const int fd = sub == 0 ? topFd : openDirectory(topFd, "unter-" + std::to_string(sub));
            if (sub > 0)
                ++made;
            const long share = files * made / directories - fileNumber;
            for (long i = 0; i < share; ++i, ++fileNumber) {
                char name[40];
                std::snprintf(name, sizeof name, "datei-%07ld.log", fileNumber);
                const long age
                    = static_cast<long>(next() % static_cast<unsigned long long>(days * 86400));
                makeFile(fd, name, now - age);
            }
            if (sub > 0)
                close(fd);
            if (made == directories)
                break;
        }
        close(topFd);
    }
    close(root);
    return 0;
}
