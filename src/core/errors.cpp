#include "core/errors.h"

namespace core {

std::string withFinalStop(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message.push_back('.');
    return message;
}

} // namespace core
