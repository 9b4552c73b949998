#pragma once

namespace platform {

// The character between the names of a path, and at the end of every directory path the
// program holds.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

} // namespace platform
