#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

/**
 * The texts the panel derives from data. Pure functions: the widgets call them on every redraw.
 */

/** "12:00 AM" for 0, "1:00 PM" for 13: the hour picker's entry for @p hour (0 to 23). */
QString hourLabel(qint64 hour);

/** "1 screenshot", otherwise "<n> screenshots"; plain decimal digits, no grouping. */
QString countPhrase(qint64 count);

/**
 * "Never" unless @p lastRunDate (seconds since 1970 UTC) is after 1970 and a date can hold it;
 * else the run in the locale's medium date and short time ("Dec 6, 2026, 3:04 PM"), with
 * "Today" or "Yesterday" for the date on those days as seen from @p now.
 */
QString lastRunText(double lastRunDate, const QDateTime &now);

/**
 * The same wording for a time to come: "Today" or "Tomorrow" for those days, the weekday
 * ("Sunday, 3:00 AM") for the rest of the coming week.
 */
QString nextRunText(double nextRunDate, const QDateTime &now);

/**
 * @p folder with the home folder shown as "~": "~" for the home folder itself, "~/rest" for a
 * path inside it; any other path unchanged. Matches whole path components only, so a sibling
 * such as "/home/ab" of the home "/home/a" is never shown as "~b".
 */
QString displayFolderPath(const QString &folder, const QString &home);
