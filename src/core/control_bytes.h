#pragma once

#include <cstddef>
#include <string>

namespace core {

// Writes every byte below 32 of `text`, from `from` on, as "?": a name that holds a line break
// can then not forge a line of the log, the listing or an error message.
inline void maskControlBytes(std::string &text, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 32)
            text[i] = '?';
    }
}

} // namespace core
