// Feeds arbitrary bytes to the settings reader as a settings file's text: no input may crash it,
// read out of bounds, or find a value that spans lines.
#include "platform/profile_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const platform::ProfileFile profile = platform::ProfileFile::parse(text);
    for (const char *section : { "Pfade", "PFADE", "Optionen", "" }) {
        for (const char *key : { "1", "2", "Tage", "Protokoll", "" }) {
            const auto value = profile.value(section, key);
            // A value is part of one line.
            if (value && (value->find('\n') != std::string::npos || value->size() > size))
                std::abort();
        }
    }
    return 0;
}
