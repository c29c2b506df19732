#pragma once

#include "cleanup/Clock.h"

// A clock that stands still until a test moves it.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(double now = 1.7e9) : m_now(now) {}
    double now() const override { return m_now; }
    void set(double now) { m_now = now; }

private:
    double m_now;
};
