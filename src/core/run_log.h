#pragma once

#include "core/listing_table.h"
#include "core/outcome.h"
#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/locale_formats.h"
#include "platform/system_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The log of one deletion run, held under its lock while the run goes on. Lines are gathered and
// handed to the system together, as soon as the attempts they tell of are done, so that the log
// holds whole lines only. A failure to open it or to write its first lines closes it and throws
// core::AppError with its message, naming the log. Not shared between threads: whoever writes
// holds the run's own lock.
class RunLog
{
public:
    RunLog(const platform::LocaleFormats &formats, const platform::Clock &clock);

    const std::string &path() const { return m_path; }

    // Opens `path` for appending and takes its lock; a log another run holds is refused by name.
    void open(const std::string &path);
    // Writes `text` and a line end at once; throws on failure, the log closed.
    void line(std::string_view text);

    // Adds the line of row `row` to the lines waiting to be written: the moment, a blank and the
    // full path, and for a file that stayed why; a name cannot forge lines, since bytes below 32
    // are written as "?".
    void addFileLine(const ListingTable &table, std::size_t row, const StayedFile *stayed);
    // Adds the line of a folder removed, or attempted and left with `outcome`, as a file's: its
    // full path `path` ends in the path separator. Its row in writePending's answer is kNoRow.
    void addFolderLine(std::string_view path, Outcome outcome, platform::SystemError error);
    static constexpr std::size_t kNoRow = SIZE_MAX;

    // Writes the lines added since the last write in one go. When that fails, closes the log and
    // returns the system's error with `failedRow` set to the row of the first line not written;
    // the lines before it stay whole.
    platform::SystemError writePending(std::size_t &failedRow);

    // Releases the lock and closes the log; throws when the system reports a failure.
    void close();

private:
    void check(platform::SystemError error);
    // Ends the line whose path starts at `pathStart` of the lines waiting, with the reason of a
    // file or folder that stayed.
    void endLine(std::size_t pathStart, Outcome outcome, platform::SystemError error);
    const std::string &stamp();

    platform::LockedAppendFile m_file;
    const platform::LocaleFormats &m_formats;
    const platform::Clock &m_clock;
    std::string m_path;
    std::int64_t m_stampSecond = -1;
    std::string m_stamp;
    std::string m_line;
    // Lines added but not yet written, and the row of each.
    std::string m_pending;
    std::vector<std::size_t> m_pendingRows;
};

// The moment a log line is written, as the line begins: the date, a blank and the time; at
// exactly midnight the date alone.
std::string logTimestamp(const platform::LocalTime &moment, const platform::LocaleFormats &formats);

} // namespace core
