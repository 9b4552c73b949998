#include "window/count_field.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace window {

namespace {

// A whole decimal number of digits only, blanks around it allowed; nothing for any other text.
std::optional<int> wholeNumber(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

CountField::CountField(int minimum, int maximum, int position)
    : m_minimum(minimum)
    , m_maximum(maximum)
    , m_position(std::clamp(position, minimum, maximum))
{
    show(m_position);
}

int CountField::shown() const
{
    const std::optional<int> typed = wholeNumber(m_text);
    return typed && *typed >= m_minimum && *typed <= m_maximum ? *typed : m_position;
}

int CountField::position()
{
    m_position = shown();
    return m_position;
}

bool CountField::setPosition(int value)
{
    const int clamped = std::clamp(value, m_minimum, m_maximum);
    const bool changed = clamped != position();
    show(clamped);
    return changed;
}

bool CountField::step(Step step)
{
    const int before = position();
    const int after = std::clamp(before + (step == Step::Up ? 1 : -1), m_minimum, m_maximum);
    if (after == before)
        return false;
    show(after);
    return true;
}

void CountField::show(int value)
{
    m_position = value;
    m_text = std::to_string(value);
}

} // namespace window
