#include "startup/listing_output.h"

#include "platform/text.h"

#include <cerrno>

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
    const bool written = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    buffer.clear();
    return written;
}

} // namespace

bool writeListing(const core::JobState &state, std::FILE *out)
{
    const core::ListingTable &table = state.Table;
    std::string buffer;
    buffer.reserve(kFlushSize + 8192);
    const int rows = table.rowCount();
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < core::ListingTable::kColumns; ++column) {
            if (column > 0)
                buffer.push_back('\t');
            const std::size_t start = buffer.size();
            table.appendCell(buffer, column, row);
            platform::maskControlBytes(buffer, start);
        }
        buffer.push_back('\n');
        if (buffer.size() >= kFlushSize && !flush(buffer, out))
            return false;
    }
    appendSanitised(buffer, state.StatusFiles);
    buffer.push_back('\t');
    appendSanitised(buffer, state.StatusTotal);
    buffer.push_back('\n');
    if (!flush(buffer, out))
        return false;
    errno = 0;
    return std::fflush(out) == 0 && !std::ferror(out);
}

} // namespace startup
