#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// `value` in decimal with its digits grouped in threes by `separator` ("#,##0"): 4.882.812.
void appendGrouped(std::string &out, std::uint64_t value, std::string_view separator);
std::string formatGrouped(std::uint64_t value, std::string_view separator);

} // namespace core
