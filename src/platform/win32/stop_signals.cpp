#include "platform/stop_signals.h"

#include <atomic>
#include <windows.h>

namespace platform {

namespace {

std::atomic<bool> g_requested { false };
// Whether a run still holds the handler: the console's closing waits for it to stop.
std::atomic<bool> g_holding { false };

BOOL WINAPI noteStopRequest(DWORD event)
{
    g_requested.store(true, std::memory_order_relaxed);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console closing, a log-off or a shutdown end the process once the handler returns:
    // the run is given a few seconds to write the lines of its attempts in flight first.
    for (int waited = 0; waited < 90 && g_holding.load(std::memory_order_acquire); ++waited)
        Sleep(50);
    return FALSE;
}

} // namespace

struct StopSignals::Saved
{
    bool installed = false;
};

StopSignals::StopSignals()
    : m_saved(std::make_unique<Saved>())
{
    g_requested.store(false, std::memory_order_relaxed);
    g_holding.store(true, std::memory_order_release);
    m_saved->installed = SetConsoleCtrlHandler(noteStopRequest, TRUE) != 0;
}

StopSignals::~StopSignals()
{
    if (m_saved->installed)
        SetConsoleCtrlHandler(noteStopRequest, FALSE);
    g_holding.store(false, std::memory_order_release);
}

bool StopSignals::requested() const
{
    return g_requested.load(std::memory_order_relaxed);
}

} // namespace platform
