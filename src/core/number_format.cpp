#include "core/number_format.h"

namespace core {

void appendGrouped(std::string &out, std::uint64_t value, std::string_view separator)
{
    const std::string digits = std::to_string(value);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out.push_back(digits[i]);
    }
}

std::string formatGrouped(std::uint64_t value, std::string_view separator)
{
    std::string out;
    appendGrouped(out, value, separator);
    return out;
}

} // namespace core
