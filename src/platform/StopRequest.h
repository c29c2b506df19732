#pragma once

#include <atomic>

/**
 * Asks a long operation (a run, a put back) to end after the step it is taking, leaving its
 * state complete. Made on any thread, checked between steps; a stop signal (StopSignals) counts
 * as a request to every StopRequest.
 */
class StopRequest
{
public:
    /** Asks for the stop; safe to call from any thread. */
    void request() noexcept { m_requested.store(true, std::memory_order_relaxed); }

    /** Whether a stop was asked for, here or by a stop signal. */
    bool isRequested() const noexcept;

    /** The same for an optional request: without one, a stop signal alone counts. */
    static bool isRequested(const StopRequest *request) noexcept;

private:
    std::atomic<bool> m_requested{false};
};
