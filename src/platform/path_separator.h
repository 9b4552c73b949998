#pragma once

#include <string>
#include <string_view>

namespace platform {

// The character between the names of a path, and at the end of every directory path the
// program holds.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Whether `c` separates names in a path: Windows takes "/" as well as its own "\".
inline bool isPathSeparator(char c)
{
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// `directory` ending in a separator, as every directory path the program holds does; an empty
// path stays empty.
inline std::string withTrailingSeparator(std::string directory)
{
    if (!directory.empty() && !isPathSeparator(directory.back()))
        directory.push_back(kPathSeparator);
    return directory;
}

// Whether `path` can be handed to the system at all: an empty path names nothing, and one holding
// a NUL byte would be cut there and name another file or folder.
inline bool isUsablePath(std::string_view path)
{
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

} // namespace platform
