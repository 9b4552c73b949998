#pragma once

#include <stdexcept>
#include <string>

namespace core {

// An error that ends the operation that raised it and reaches the user with its German message:
// in the error box, on standard error, never in a log of its own. An error about one file or
// folder names it: standard error writes "PATH: MESSAGE", the error box the path on a line of its
// own. A note adds what the user must know besides (a file deleted whose log line was lost).
class AppError : public std::runtime_error
{
public:
    explicit AppError(const std::string &message, std::string path = {}, std::string note = {})
        : std::runtime_error(message)
        , m_path(std::move(path))
        , m_note(std::move(note))
    {
    }

    const std::string &path() const { return m_path; }
    const std::string &note() const { return m_note; }

private:
    std::string m_path;
    std::string m_note;
};

// The message as the error box shows it: a "." is appended when the last character sorts after
// "." (so «'ABC' ist kein gültiger Integerwert» gains one and «… kombinierbar!» does not).
std::string withFinalStop(std::string message);

} // namespace core
