// Feeds arbitrary text to the integer syntax of switch values and settings: every text either
// converts or is refused with the program's own error, and what converts reads back the same.
#include "core/errors.h"
#include "startup/command_line.h"
#include "startup/integer_syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const auto number = startup::parseInteger(text);
    if (number && *number >= 0) {
        // A plain decimal number reads back as itself.
        if (startup::parseInteger(std::to_string(*number)) != number)
            std::abort();
    }
    try {
        startup::convertSwitchInteger(text);
    } catch (const core::AppError &) {
        // The conversion error the user sees.
    }
    const std::int16_t clamped = startup::clampCount(number.value_or(0));
    if (number && *number >= -32768 && *number <= 32767 && clamped != *number)
        std::abort();
    return 0;
}
