#include "StopSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_received{false};
int g_wakeUp[2] = {-1, -1}; // the handler writes, the event loop reads

// Only what is safe inside a signal handler: an atomic store and a write.
void onStopSignal(int)
{
    const int savedErrno = errno;
    g_received.store(true, std::memory_order_relaxed);
    const char byte = 1;
    (void)!write(g_wakeUp[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

namespace StopSignals {

void install(QObject *context, std::function<void()> onSignal)
{
    if (g_wakeUp[0] < 0 && pipe2(g_wakeUp, O_NONBLOCK | O_CLOEXEC) != 0)
        g_wakeUp[0] = g_wakeUp[1] = -1; // the flag alone still stops the work
    if (g_wakeUp[0] >= 0) {
        auto *notifier = new QSocketNotifier(g_wakeUp[0], QSocketNotifier::Read, context);
        QObject::connect(notifier, &QSocketNotifier::activated, context, [onSignal] {
            char drained[64];
            while (read(g_wakeUp[0], drained, sizeof drained) > 0) {
            }
            if (onSignal)
                onSignal();
        });
    }
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool received() noexcept
{
    return g_received.load(std::memory_order_relaxed);
}

} // namespace StopSignals
