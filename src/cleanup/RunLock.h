#pragma once

#include "platform/UniqueFd.h"

#include <QString>

#include <chrono>

class StopRequest;

/**
 * The user's lock on cleanup: one run or put back at a time, whichever process it is in (the
 * tray app, a scheduled run, the command line). Held from construction until destruction; the
 * lock file in the state folder is only ever locked (flock), never trusted for its contents.
 */
class RunLock
{
public:
    enum class State
    {
        Held,   ///< ours until this object is dropped
        Busy,   ///< another run or put back kept it for the whole wait
        Failed, ///< the lock file could not be made or opened; see error()
    };

    /** How long Run Now and put back wait for another run to end before they give up. */
    static constexpr std::chrono::milliseconds DefaultWait{5000};

    /**
     * Takes the lock, waiting up to @p wait while another run or put back holds it; a stop
     * request (@p stop, or a stop signal) ends the wait early.
     */
    explicit RunLock(std::chrono::milliseconds wait, const StopRequest *stop = nullptr);

    State state() const { return m_state; }
    /** Why the lock could not be taken, as a log line; empty unless Failed. */
    QString error() const { return m_error; }

    /** What the user is told when the lock stayed busy: "Another cleanup is running". */
    static QString busyText();

private:
    UniqueFd m_fd;
    State m_state = State::Failed;
    QString m_error;
};
