#pragma once

#include <stdexcept>
#include <string>

namespace core {

// An error that ends the operation that raised it and reaches the user with its German message:
// in the error box, on standard error, never in a log of its own.
class AppError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The message as the error box shows it: a "." is appended when the last character sorts after
// "." (so «'ABC' ist kein gültiger Integerwert» gains one and «… kombinierbar!» does not).
std::string withFinalStop(std::string message);

} // namespace core
