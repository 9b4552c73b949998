#include "core/sort_key.h"

#include <algorithm>

namespace core {

namespace {

void appendDigits(std::string &out, unsigned value, int width)
{
    char digits[4];
    for (int at = width - 1; at >= 0; --at) {
        digits[at] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(digits, static_cast<std::size_t>(width));
}

unsigned char folded(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

} // namespace

void appendKeyDate(std::string &out, const platform::LocalTime &time)
{
    if (time.year >= 0 && time.year <= 9999)
        appendDigits(out, static_cast<unsigned>(time.year), 4);
    else
        out += std::to_string(time.year);
    appendDigits(out, time.month, 2);
    appendDigits(out, time.day, 2);
}

void appendKeyTime(std::string &out, const platform::LocalTime &time)
{
    appendDigits(out, time.hour, 2);
    appendDigits(out, time.minute, 2);
    appendDigits(out, time.second, 2);
}

std::string MakeSortKey(const platform::FileEntry &entry)
{
    std::string key;
    key.reserve(15 + entry.name.size());
    appendKeyDate(key, entry.modified);
    appendKeyTime(key, entry.modified);
    key.push_back(':');
    key += entry.name;
    return key;
}

std::strong_ordering compareSortKeys(std::string_view left, std::string_view right)
{
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (const auto order = folded(left[i]) <=> folded(right[i]); order != 0)
            return order;
    }
    if (left.size() != right.size())
        return left.size() <=> right.size();
    // Equal but for case: by the bytes, as unsigned values.
    for (std::size_t i = 0; i < common; ++i) {
        const auto order
            = static_cast<unsigned char>(left[i]) <=> static_cast<unsigned char>(right[i]);
        if (order != 0)
            return order;
    }
    return std::strong_ordering::equal;
}

std::uint64_t keyTimeNumber(const platform::LocalTime &time)
{
    if (time == platform::kUnknownTime)
        return kUnknownTimeNumber;
    if (time.year < 0 || time.year > 9999)
        return kNoTimeNumber;
    std::uint64_t number = static_cast<std::uint64_t>(time.year);
    for (const unsigned part : { time.month, time.day, time.hour, time.minute, time.second })
        number = number * 100 + part;
    return number;
}

} // namespace core
