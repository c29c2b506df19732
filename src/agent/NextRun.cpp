#include "NextRun.h"

namespace {

// @p hour:00 on @p day, or on the first later day where that time is real (a daylight-saving
// gap skips it, and so does the timer).
QDateTime atHour(QDate day, int hour, int stepDays)
{
    for (int tries = 0; tries < 3; ++tries, day = day.addDays(stepDays)) {
        const QDateTime candidate(day, QTime(hour, 0));
        if (candidate.isValid() && candidate.time().hour() == hour)
            return candidate;
    }
    return {};
}

} // namespace

QDateTime nextRunTime(Frequency frequency, qint64 hourOfDay, const QDateTime &now)
{
    const QDateTime local = now.toLocalTime();
    if (frequency == Frequency::Hourly) {
        // By the wall clock, as the timer counts: after clocks go back, the repeated hour's
        // second :00 has already passed on the wall clock and does not count again. When clocks
        // go forward, the first hour after the gap is next.
        const QTime time = local.time();
        const int hour = (time.hour() + 1) % 24;
        const QDateTime byClock(local.date().addDays(hour == 0 ? 1 : 0), QTime(hour, 0));
        if (byClock.isValid() && byClock.time().hour() == hour)
            return byClock;
        return local.addSecs(3600 - time.minute() * 60 - time.second()).addMSecs(-time.msec());
    }
    if (hourOfDay < 0 || hourOfDay > 23)
        return {};
    const int hour = int(hourOfDay);
    const int step = frequency == Frequency::Weekly ? 7 : 1;
    // Qt counts Monday as 1 and Sunday as 7.
    const QDate first = frequency == Frequency::Weekly
                            ? local.date().addDays(7 - local.date().dayOfWeek())
                            : local.date();
    QDateTime next = atHour(first, hour, step);
    if (next.isValid() && next <= local)
        next = atHour(first.addDays(step), hour, step);
    return next;
}
