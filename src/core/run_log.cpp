#include "core/run_log.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/date_time_format.h"
#include "platform/text.h"

#include <algorithm>

namespace core {

RunLog::RunLog(const platform::LocaleFormats &formats, const platform::Clock &clock)
    : m_formats(formats)
    , m_clock(clock)
{
}

void RunLog::open(const std::string &path)
{
    m_path = path;
    const platform::SystemError error = m_file.open(path);
    if (error.kind == platform::ErrorKind::InUse)
        throw AppError(std::string(messages::kLogInUse), m_path);
    check(error);
}

void RunLog::line(std::string_view text)
{
    m_line.assign(text);
    m_line += "\r\n";
    check(m_file.append(m_line));
}

void RunLog::addFileLine(const ListingTable &table, std::size_t row, const StayedFile *stayed)
{
    m_pendingRows.push_back(row);
    m_pending += stamp();
    const std::size_t start = m_pending.size();
    table.appendPath(m_pending, row);
    endLine(start, stayed ? stayed->outcome : Outcome::Deleted,
        stayed ? stayed->error : platform::SystemError {});
}

void RunLog::addFolderLine(std::string_view path, Outcome outcome, platform::SystemError error)
{
    m_pendingRows.push_back(kNoRow);
    m_pending += stamp();
    const std::size_t start = m_pending.size();
    m_pending += path;
    endLine(start, outcome, error);
}

void RunLog::endLine(std::size_t pathStart, Outcome outcome, platform::SystemError error)
{
    platform::maskControlBytes(m_pending, pathStart);
    if (outcome != Outcome::Deleted) {
        m_pending += messages::kNotDeletedOpening;
        m_pending += messages::notDeletedReason(outcome, error);
        m_pending += messages::kNotDeletedClosing;
    }
    m_pending += "\r\n";
}

platform::SystemError RunLog::writePending(std::size_t &failedRow)
{
    if (m_pending.empty())
        return {};
    std::size_t whole = 0;
    const platform::SystemError error = m_file.appendLines(m_pending, whole);
    if (error) {
        const auto written
            = std::count(m_pending.begin(), m_pending.begin() + static_cast<long>(whole), '\n');
        failedRow = m_pendingRows[static_cast<std::size_t>(written)];
        m_file.close();
    }
    m_pending.clear();
    m_pendingRows.clear();
    return error;
}

void RunLog::close()
{
    check(m_file.close());
}

void RunLog::check(platform::SystemError error)
{
    if (!error)
        return;
    m_file.close();
    throw AppError(messages::fileError(error), m_path);
}

// The moment of writing and a blank, formatted once per second.
const std::string &RunLog::stamp()
{
    const std::int64_t now = m_clock.now();
    if (now != m_stampSecond) {
        m_stampSecond = now;
        m_stamp = logTimestamp(platform::localTimeOf(now), m_formats);
        m_stamp.push_back(' ');
    }
    return m_stamp;
}

std::string logTimestamp(const platform::LocalTime &moment, const platform::LocaleFormats &formats)
{
    std::string text = platform::DateTimeFormat(formats.shortDate, formats).format(moment);
    if (moment.hour != 0 || moment.minute != 0 || moment.second != 0) {
        text.push_back(' ');
        platform::DateTimeFormat(formats.longTime, formats).append(text, moment);
    }
    return text;
}

} // namespace core
