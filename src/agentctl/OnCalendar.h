#pragma once

#include <QString>

#include <optional>

/** One "StartCalendarInterval" entry; an absent field matches every value, as launchd reads it. */
struct CalendarInterval
{
    std::optional<qint64> minute;  ///< 0-59
    std::optional<qint64> hour;    ///< 0-23
    std::optional<qint64> day;     ///< 1-31, day of the month
    std::optional<qint64> weekday; ///< 0-7, 0 and 7 both Sunday
    std::optional<qint64> month;   ///< 1-12
};

/**
 * The systemd calendar expression for @p interval, such as "Sun *-*-* 03:00:00". Fails (empty,
 * reason in @p error) for a value outside its range, for a date that never comes (Month 2 with
 * Day 30) and for Day together with Weekday, which launchd treats as either-or and systemd
 * cannot express.
 */
std::optional<QString> onCalendarExpression(const CalendarInterval &interval,
                                            QString *error = nullptr);
