#include "startup/listing_output.h"

#include <cerrno>

namespace startup {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

void appendSanitised(std::string &out, std::string_view text)
{
    for (const char c : text)
        out.push_back(static_cast<unsigned char>(c) < 32 ? '?' : c);
}

// Masks control bytes in what was appended to `out` since `from`.
void sanitiseFrom(std::string &out, std::size_t from)
{
    for (std::size_t i = from; i < out.size(); ++i) {
        if (static_cast<unsigned char>(out[i]) < 32)
            out[i] = '?';
    }
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
            sanitiseFrom(buffer, start);
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
