#include "startup/listing_output.h"

#include "core/listing_texts.h"
#include "platform/calendar.h"
#include "platform/path_separator.h"
#include "platform/standard_output.h"
#include "platform/system_error.h"
#include "platform/text.h"

#include <cstdlib>

namespace startup {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

void appendSanitised(std::string &out, std::string_view text)
{
    const std::size_t start = out.size();
    out += text;
    platform::maskControlBytes(out, start);
}

bool flush(std::string &buffer, std::FILE *out)
{
    const bool written = platform::writeOutput(out, buffer);
    buffer.clear();
    return written;
}

// `path` with the bytes that would break a line or a field escaped; a backslash is escaped only
// within a name, never as Windows' separator.
void appendEscapedPath(std::string &out, std::string_view path)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' && platform::kPathSeparator != '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (byte < 32) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else
            out += c;
    }
}

void appendNumber(std::string &out, long long value, int width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (value < 0)
        out += '-';
    if (digits.size() < static_cast<std::size_t>(width))
        out.append(static_cast<std::size_t>(width) - digits.size(), '0');
    out += digits;
}

// `secondsSinceEpoch` as ISO 8601 local time with the offset the zone had then; in UTC ("Z")
// when it has no local date.
void appendIsoTime(std::string &out, std::int64_t secondsSinceEpoch)
{
    platform::LocalTime time = platform::localTimeOf(secondsSinceEpoch);
    const bool local = time != platform::kUnknownTime;
    const long long days = secondsSinceEpoch / 86400 - (secondsSinceEpoch % 86400 < 0 ? 1 : 0);
    if (!local) {
        const long long second = secondsSinceEpoch - days * 86400;
        time = platform::dateFromDays(days);
        time.hour = static_cast<std::uint8_t>(second / 3600);
        time.minute = static_cast<std::uint8_t>(second / 60 % 60);
        time.second = static_cast<std::uint8_t>(second % 60);
    }
    appendNumber(out, time.year, 4);
    out += '-';
    appendNumber(out, time.month, 2);
    out += '-';
    appendNumber(out, time.day, 2);
    out += 'T';
    appendNumber(out, time.hour, 2);
    out += ':';
    appendNumber(out, time.minute, 2);
    out += ':';
    appendNumber(out, time.second, 2);
    if (!local) {
        out += 'Z';
        return;
    }
    // The offset is what the local calendar and clock are ahead of UTC at that moment.
    const long long offset = platform::daysSinceEpoch(time) * 86400 + time.hour * 3600LL
        + time.minute * 60LL + time.second - secondsSinceEpoch;
    out += offset < 0 ? '-' : '+';
    appendNumber(out, std::abs(offset) / 3600, 2);
    out += ':';
    appendNumber(out, std::abs(offset) / 60 % 60, 2);
}

} // namespace

bool writeTabSeparated(const core::JobState &state, std::FILE *out)
{
    const core::ListingTable &table = state.Table;
    std::string buffer;
    buffer.reserve(kFlushSize + 8192);
    std::string path;
    for (std::size_t row = 0; row < table.fileCount(); ++row) {
        path.clear();
        table.appendPath(path, row);
        appendEscapedPath(buffer, path);
        buffer += '\t';
        buffer += std::to_string(table.fileSize(row));
        buffer += '\t';
        appendIsoTime(buffer, table.fileIdentity(row).modifiedSeconds);
        buffer += '\n';
        if (buffer.size() >= kFlushSize && !flush(buffer, out))
            return false;
    }
    if (!flush(buffer, out))
        return false;
    platform::clearLastSystemError();
    return std::fflush(out) == 0 && !std::ferror(out);
}

bool writeListing(const core::JobState &state, std::FILE *out)
{
    const core::ListingTable &table = state.Table;
    std::string buffer;
    buffer.reserve(kFlushSize + 8192);
    for (int column = 0; column < core::kColumnCount; ++column) {
        if (column > 0)
            buffer.push_back('\t');
        buffer += core::columnHeader(static_cast<core::Column>(column));
    }
    buffer.push_back('\n');
    const std::size_t rows = core::shownRowCount(table);
    for (std::size_t row = 0; row < rows; ++row) {
        for (int column = 0; column < core::kColumnCount; ++column) {
            if (column > 0)
                buffer.push_back('\t');
            const std::size_t start = buffer.size();
            core::appendShownCell(buffer, table, static_cast<core::Column>(column), row);
            platform::maskControlBytes(buffer, start);
        }
        buffer.push_back('\n');
        // Written at the end of a line only, so that no character is cut in two.
        if (buffer.size() >= kFlushSize && !flush(buffer, out))
            return false;
    }
    appendSanitised(buffer, core::statusFiles(state));
    buffer.push_back('\t');
    appendSanitised(buffer, core::statusTotal(state));
    buffer.push_back('\n');
    if (!flush(buffer, out))
        return false;
    platform::clearLastSystemError();
    return std::fflush(out) == 0 && !std::ferror(out);
}

} // namespace startup
