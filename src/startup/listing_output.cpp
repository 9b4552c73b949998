#include "startup/listing_output.h"

#include "core/listing_texts.h"
#include "platform/standard_output.h"
#include "platform/system_error.h"
#include "platform/text.h"

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

} // namespace

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
