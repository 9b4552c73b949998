#pragma once

#include <memory>

namespace platform {

// While one lives, a request to end the program does not end it at once: it is noted, so that a
// deletion run can stop after the attempts in flight, with their log lines written, rather than
// leave files deleted whose lines were never written. The requests are SIGTERM (a service being
// stopped), SIGINT (Ctrl+C) and SIGHUP (its terminal gone) on Linux, and Ctrl+C, Ctrl+Break and
// the console's closing on Windows. A signal the process was told to ignore stays ignored. What
// was there before comes back when it goes. One lives at a time.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Whether the end of the program was requested since this object was made; safe to ask from
    // any thread.
    bool requested() const;

private:
    // What each system installs and must give back, defined by its implementation.
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

} // namespace platform
