#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace startup {

// The program's integer syntax, for switch values and the settings file alike: optional leading
// blanks; then an optional "+" or "-" and decimal digits, or a hexadecimal number introduced by
// "$", "x", "X", "0x" or "0X" (no sign, at most 8 hex digits, taken as a 32-bit pattern). The
// result must fit a signed 32-bit integer. Anything else, an empty text or trailing characters
// included, is nothing.
std::optional<std::int32_t> parseInteger(std::string_view text);

// Counts are held as 16-bit numbers; values beyond that range are clamped to it.
std::int16_t clampCount(std::int32_t value);

} // namespace startup
