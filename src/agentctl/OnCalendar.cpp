#include "OnCalendar.h"

namespace {

// Checks one field and writes it with at least @p width digits, or "*" when absent.
bool formatField(const std::optional<qint64> &value, const char *name, qint64 low, qint64 high,
                 QString *text, QString *error)
{
    if (!value) {
        *text = QStringLiteral("*");
        return true;
    }
    if (*value < low || *value > high) {
        if (error)
            *error = QStringLiteral("StartCalendarInterval: %1 %2 is outside %3-%4")
                         .arg(QLatin1String(name))
                         .arg(*value)
                         .arg(low)
                         .arg(high);
        return false;
    }
    *text = QStringLiteral("%1").arg(*value, 2, 10, QLatin1Char('0'));
    return true;
}

// A day of the month that the given month never has (February 30, April 31) is a date that
// never comes: systemd keeps such a timer and never starts it.
bool isPossibleDate(const CalendarInterval &interval, QString *error)
{
    static const qint64 longest[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!interval.day || !interval.month || *interval.day <= longest[*interval.month - 1])
        return true;
    if (error)
        *error = QStringLiteral("StartCalendarInterval: Month %1 has no Day %2, so it never comes")
                     .arg(*interval.month)
                     .arg(*interval.day);
    return false;
}

} // namespace

std::optional<QString> onCalendarExpression(const CalendarInterval &interval, QString *error)
{
    if (interval.day && interval.weekday) {
        if (error)
            *error = QStringLiteral("StartCalendarInterval: Day and Weekday together cannot be "
                                    "expressed as a systemd calendar");
        return std::nullopt;
    }
    QString minute, hour, day, weekday, month;
    if (!formatField(interval.minute, "Minute", 0, 59, &minute, error) ||
        !formatField(interval.hour, "Hour", 0, 23, &hour, error) ||
        !formatField(interval.day, "Day", 1, 31, &day, error) ||
        !formatField(interval.weekday, "Weekday", 0, 7, &weekday, error) ||
        !formatField(interval.month, "Month", 1, 12, &month, error) ||
        !isPossibleDate(interval, error))
        return std::nullopt;

    QString expression;
    if (interval.weekday) {
        static const char *const names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
        expression = QLatin1String(names[*interval.weekday]) + QLatin1Char(' ');
    }
    expression += QStringLiteral("*-%1-%2 %3:%4:00").arg(month, day, hour, minute);
    return expression;
}
