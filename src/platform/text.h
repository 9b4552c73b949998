#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small text helpers shared by the readers of the command line and the settings file and by
// everything that writes names: ASCII case folding (other bytes, umlauts included, stay as they
// are), trimming, and masking bytes that could break a line. They call no operating system.
namespace platform {

inline char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        c = lowerAscii(c);
    return lower;
}

inline std::string upperAscii(std::string_view text)
{
    std::string upper(text);
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// `text` without the bytes at either end for which `strip` is true.
template <typename Predicate> std::string_view trimmed(std::string_view text, Predicate strip)
{
    while (!text.empty() && strip(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && strip(text.back()))
        text.remove_suffix(1);
    return text;
}

// Writes every byte below 32 of `text`, from `from` on, as "?": a name that holds a line break
// can then not forge a line of the log, the listing or an error message.
inline void maskControlBytes(std::string &text, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 32)
            text[i] = '?';
    }
}

} // namespace platform
