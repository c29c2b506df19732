#pragma once

/**
 * Where the cleanup engine takes "now" from, so that age boundaries can be tested to the
 * millisecond.
 */
class Clock
{
public:
    virtual ~Clock() = default;

    /** Seconds since 1970-01-01 00:00:00 UTC, with fractions. */
    virtual double now() const = 0;

    /** The real-time clock. */
    static const Clock &system();
};
