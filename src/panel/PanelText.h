#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QtGlobal>

/**
 * The texts the panel derives from data. Pure functions: the widgets call them on every redraw.
 */

/**
 * The hour picker's entry for @p hour (0 to 23) on @p locale's clock: "3:00 PM" on a 12-hour
 * clock, "15:00" on a 24-hour one. The C locale is no language at all and gets the program's
 * own English: "12:00 AM" for 0, "1:00 PM" for 13.
 */
QString hourLabel(qint64 hour, const QLocale &locale = QLocale());

/**
 * "1 screenshot", otherwise "<n> screenshots", or the plural forms of the user's language;
 * plain decimal digits, no grouping.
 */
QString countPhrase(qint64 count);

/**
 * The text of @p source (a tr() text with "%n") in the plural form for @p count, with the
 * whole of @p count in place of "%n". QCoreApplication::translate() counts in int and leaves
 * negative counts unreplaced.
 */
QString pluralText(const char *context, const char *source, qint64 count);

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
