#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace core {

// An error that ends the operation that raised it and reaches the user with its German message:
// in the error box, on standard error, never in a log of its own. An error about one file or
// folder names it: standard error writes "PATH: MESSAGE", the error box the path on a line of its
// own. Notes add what the user must know besides, a line each (every file deleted whose log line
// was lost).
class AppError : public std::runtime_error
{
public:
    explicit AppError(
        const std::string &message, std::string path = {}, std::vector<std::string> notes = {})
        : std::runtime_error(message)
        , m_path(std::move(path))
        , m_notes(std::move(notes))
    {
    }

    const std::string &path() const { return m_path; }
    const std::vector<std::string> &notes() const { return m_notes; }

private:
    std::string m_path;
    std::vector<std::string> m_notes;
};

// A deletion run stopped because the program was asked to end (SIGTERM, Ctrl+C): the attempts in
// flight were finished and logged, the rest not attempted.
class RunInterrupted : public AppError
{
public:
    using AppError::AppError;
};

// The message as the error box shows it: a "." is appended when the last character sorts after
// "." (so «'ABC' ist kein gültiger Integerwert» gains one and «… kombinierbar!» does not).
std::string withFinalStop(std::string message);

} // namespace core
