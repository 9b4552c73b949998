#include "platform/standard_output.h"

#include "platform/system_error.h"
#include "platform/win32/wide_text.h"

#include <algorithm>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {

// The console `stream` writes to, or nothing when it goes to a file, a pipe or a device such as
// NUL.
HANDLE consoleOf(std::FILE *stream)
{
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return nullptr;
    // The C runtime hands the console's handle back as an integer.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

bool writeToConsole(HANDLE console, std::string_view text)
{
    const std::wstring wide = win32::wideFromUtf8(text);
    // Older consoles refuse a single write much beyond 64 KB.
    constexpr std::size_t kPiece = 8192;
    for (std::size_t at = 0; at < wide.size();) {
        std::size_t count = std::min(kPiece, wide.size() - at);
        // The two halves of a character beyond U+FFFF go in the same write.
        if (at + count < wide.size() && IS_HIGH_SURROGATE(wide[at + count - 1]))
            --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(count), &written, nullptr)
            || written == 0)
            return false;
        at += written;
    }
    return true;
}

} // namespace

void joinStartingConsole()
{
    // A console handle given to a process without a console is a character device it cannot
    // write text to yet. A console program already has its console; the call then fails and
    // changes nothing, as it does when the starter has no console (the handle is NUL).
    for (const DWORD which : { STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE }) {
        const HANDLE handle = GetStdHandle(which);
        if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR) {
            AttachConsole(ATTACH_PARENT_PROCESS);
            return;
        }
    }
}

bool writeOutput(std::FILE *stream, std::string_view text)
{
    clearLastSystemError();
    if (const HANDLE console = consoleOf(stream)) {
        // Whatever the stream still holds was written before this text.
        return std::fflush(stream) == 0 && writeToConsole(console, text);
    }
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size()
        && std::fflush(stream) == 0;
}

} // namespace platform
