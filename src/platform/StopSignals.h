#pragma once

#include <functional>

class QObject;

/**
 * SIGTERM (what systemd sends at logout and shutdown), SIGINT and SIGHUP as a request to stop:
 * the work under way ends after its current step instead of the process dying in the middle.
 */
namespace StopSignals {

/**
 * From now on the three signals no longer end the process: each sets received() and then calls
 * @p onSignal (if given) from the event loop of @p context's thread. Call once, from the main
 * thread, after the application object exists.
 */
void install(QObject *context, std::function<void()> onSignal = {});

/** Whether one of the three signals arrived since install(). Safe from any thread. */
bool received() noexcept;

} // namespace StopSignals
