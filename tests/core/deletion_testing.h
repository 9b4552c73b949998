#pragma once

// What the deletion's tests share: listing old files in a temporary tree, and reading the log a
// run leaves.

#include "core/deletion_run.h"
#include "core/errors.h"
#include "core/selection.h"
#include "support/temp_tree.h"

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

namespace deletion_testing {

using testing_support::TempTree;

inline constexpr std::time_t kOld = 1'500'000'000; // July 2017

inline core::JobState listedOld(
    const std::string &directory, const std::string &log, bool sub = false)
{
    core::JobState state(platform::germanFormats());
    state.SelectedDirectory = directory;
    state.DayCount = 30;
    state.IncludeSubdirectories = sub;
    state.LogFileName = log;
    core::Refresh(state);
    return state;
}

inline void writeOld(const TempTree &tree, std::initializer_list<std::string> names)
{
    for (const std::string &name : names) {
        tree.writeFile(name, "x");
        tree.setModified(name, kOld);
    }
}

// The full paths of the listing, in table order.
inline std::vector<std::string> listedPaths(const core::JobState &state)
{
    std::vector<std::string> paths;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row)
        paths.push_back(state.Table.path(row));
    return paths;
}

// A run's lines as the log holds them: the empty line, the start line with `count`, one line per
// path.
inline std::string expectedRun(
    const std::vector<std::string> &paths, const std::string &stamp, std::size_t count = SIZE_MAX)
{
    std::string text = "\r\nStart der Dateilöschung von "
        + std::to_string(count == SIZE_MAX ? paths.size() : count) + " Dateien\r\n";
    for (const std::string &path : paths)
        text += stamp + " " + path + "\r\n";
    return text;
}

// Replaces every log time stamp by "STAMP", so that whole logs compare byte for byte.
inline std::string withoutStamps(const std::string &log)
{
    static const std::regex stamp(R"(\d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)? )");
    return std::regex_replace(log, stamp, "STAMP ");
}

// A run's error: its message, the path it names and its notes; all empty when the run succeeded.
struct RunError
{
    std::string message;
    std::string path;
    std::vector<std::string> notes;
};

inline RunError runAndCatch(const core::JobState &state)
{
    try {
        core::DeleteListed(state);
    } catch (const core::AppError &error) {
        return { error.what(), error.path(), error.notes() };
    }
    return {};
}

// The log line of a listed file that stayed.
inline std::string stayedLine(const std::string &path, const std::string &reason)
{
    return path + " (nicht gelöscht: " + reason + ")";
}

// The log's lines after the start lines, time stamps removed.
inline std::vector<std::string> loggedFileLines(const TempTree &tree)
{
    std::vector<std::string> lines;
    const std::string log = withoutStamps(tree.readLog("protokoll.log"));
    for (std::size_t start = log.find("Dateien\r\n") + 9, end; start < log.size();
         start = end + 2) {
        end = log.find("\r\n", start);
        lines.push_back(log.substr(start + 6, end - start - 6)); // without "STAMP "
    }
    return lines;
}

inline void writeOldAndNew(const TempTree &tree, const std::string &folder, int old, int young)
{
    for (int i = 0; i < old + young; ++i) {
        const std::string name = folder + "/f" + std::to_string(i) + ".log";
        tree.writeFile(name, "x");
        if (i < old)
            tree.setModified(name, kOld);
    }
}

} // namespace deletion_testing
