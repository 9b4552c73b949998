#include "platform/program_path.h"

#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform {

std::string ownExecutablePath()
{
    // The system cuts the path to the buffer without saying how much it needs: the buffer grows
    // until the path fits with room to spare. Paths end at 32767 characters.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0)
            return {};
        if (length < size) {
            path.resize(length);
            return win32::utf8FromWide(path);
        }
    }
    return {};
}

} // namespace platform
