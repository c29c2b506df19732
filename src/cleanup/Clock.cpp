#include "Clock.h"

#include <ctime>

namespace {

class SystemClock final : public Clock
{
public:
    double now() const override
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
};

} // namespace

const Clock &Clock::system()
{
    static const SystemClock clock;
    return clock;
}
