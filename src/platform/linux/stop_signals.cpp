#include "platform/stop_signals.h"

#include <array>
#include <atomic>
#include <csignal>

namespace platform {

namespace {

constexpr std::array<int, 3> kStopSignals = { SIGTERM, SIGINT, SIGHUP };

// Set by the handler, read by any thread; a lock-free atomic is safe in a signal handler.
std::atomic<bool> g_requested { false };
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void noteStopRequest(int)
{
    g_requested.store(true, std::memory_order_relaxed);
}

} // namespace

struct StopSignals::Saved
{
    std::array<struct sigaction, kStopSignals.size()> previous {};
    std::array<bool, kStopSignals.size()> installed {};
};

StopSignals::StopSignals()
    : m_saved(std::make_unique<Saved>())
{
    g_requested.store(false, std::memory_order_relaxed);
    struct sigaction action
    {
    };
    action.sa_handler = noteStopRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        struct sigaction &previous = m_saved->previous[i];
        if (sigaction(kStopSignals[i], nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue; // started with `nohup`, or told to ignore it otherwise
        m_saved->installed[i] = sigaction(kStopSignals[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals()
{
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        if (m_saved->installed[i])
            sigaction(kStopSignals[i], &m_saved->previous[i], nullptr);
    }
}

bool StopSignals::requested() const
{
    return g_requested.load(std::memory_order_relaxed);
}

} // namespace platform
