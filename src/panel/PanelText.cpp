#include "PanelText.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

// Just past a run of one pattern letter ("MMMM") that starts at @p start.
qsizetype endOfRun(const QString &format, qsizetype start)
{
    qsizetype end = start;
    while (end < format.size() && format.at(end) == format.at(start))
        ++end;
    return end;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char(',') || c.isSpace();
}

// A run of "d" or "M" in its medium form; returns where the format goes on.
qsizetype appendMediumField(const QString &format, qsizetype start, QString &medium)
{
    const QChar letter = format.at(start);
    qsizetype end = endOfRun(format, start);
    const qsizetype run = end - start;
    if (letter == QLatin1Char('d') && run >= 3) {
        // Drop the weekday and the separator that tied it to the rest.
        while (end < format.size() && isSeparator(format.at(end)))
            ++end;
    } else {
        medium +=
            letter == QLatin1Char('M') && run == 4 ? QStringLiteral("MMM") : QString(run, letter);
    }
    return end;
}

// QLocale offers only long and short dates; the medium form is the long one without the weekday
// and with the abbreviated month ("dddd, MMMM d, yyyy" -> "MMM d, yyyy").
QString mediumDateFormat(const QLocale &locale)
{
    const QString longFormat = locale.dateFormat(QLocale::LongFormat);
    QString medium;
    bool quoted = false;
    for (qsizetype i = 0; i < longFormat.size();) {
        const QChar c = longFormat.at(i);
        quoted = quoted != (c == QLatin1Char('\''));
        if (quoted || (c != QLatin1Char('d') && c != QLatin1Char('M'))) {
            medium += c;
            ++i;
        } else {
            i = appendMediumField(longFormat, i, medium);
        }
    }
    while (!medium.isEmpty() && isSeparator(medium.back()))
        medium.chop(1);
    return medium;
}

// Hours and minutes only: some locales (C among them) put seconds into their short time.
QString shortTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype seconds = format.indexOf(QLatin1String(":ss"));
    if (seconds >= 0)
        format.remove(seconds, 3);
    return format;
}

// The day @p otherDay (-1 or +1) away from today is named @p otherDayName; with @p weekdays,
// so are the days of the coming week by their weekday, a weekly run's date being no help.
QString dayAndTimeText(double seconds, const QDateTime &now, int otherDay, const char *otherDayName,
                       bool weekdays = false)
{
    const QString never = QCoreApplication::translate("PanelText", "Never");
    if (!(seconds > 0))
        return never;
    // Milliseconds must fit a qint64; a date beyond that (or infinite) is no date at all.
    const double milliseconds = std::floor(seconds * 1000.0);
    if (!(milliseconds < 9.0e18))
        return never;
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(qint64(milliseconds), Qt::LocalTime);
    if (!when.isValid())
        return never;

    const QLocale locale;
    const QDate day = when.date();
    const QDate today = now.toLocalTime().date();
    QString date;
    if (day == today)
        date = QCoreApplication::translate("PanelText", "Today");
    else if (day == today.addDays(otherDay))
        date = QCoreApplication::translate("PanelText", otherDayName);
    else if (weekdays && today.daysTo(day) > 1 && today.daysTo(day) <= 7)
        date = locale.dayName(day.dayOfWeek());
    else
        date = locale.toString(day, mediumDateFormat(locale));
    return date + QStringLiteral(", ") + locale.toString(when.time(), shortTimeFormat(locale));
}

} // namespace

QString lastRunText(double lastRunDate, const QDateTime &now)
{
    return dayAndTimeText(lastRunDate, now, -1, QT_TRANSLATE_NOOP("PanelText", "Yesterday"));
}

QString nextRunText(double nextRunDate, const QDateTime &now)
{
    return dayAndTimeText(nextRunDate, now, 1, QT_TRANSLATE_NOOP("PanelText", "Tomorrow"), true);
}

QString hourLabel(qint64 hour, const QLocale &locale)
{
    if (locale.language() != QLocale::C)
        return locale.toString(QTime(int(hour), 0), shortTimeFormat(locale));
    const qint64 clockHour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
    return QString::number(clockHour) + QStringLiteral(":00 ") +
           (hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString pluralText(const char *context, const char *source, qint64 count)
{
    // A stand-in in int range with the same last six digits picks the same plural form in
    // every language's rules, which look at the last digits only (and at 0 and 1).
    const bool fits = count >= 0 && count <= std::numeric_limits<int>::max();
    const int standIn = fits ? int(count) : std::abs(int(count % 1000000)) + 1000000;
    QString text = QCoreApplication::translate(context, source, nullptr, standIn);
    if (!fits)
        text.replace(QString::number(standIn), QString::number(count));
    return text;
}

QString countPhrase(qint64 count)
{
    return pluralText("PanelText", QT_TRANSLATE_N_NOOP("PanelText", "%n screenshot(s)"), count);
}

QString displayFolderPath(const QString &folder, const QString &home)
{
    // A plain prefix test would turn "/home/ab" into "~b" for the home "/home/a", which reads as
    // another user's home folder.
    QString base = home;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (base.isEmpty() || base == QStringLiteral("/"))
        return folder;
    if (folder == base)
        return QStringLiteral("~");
    if (folder.startsWith(base + QLatin1Char('/')))
        return QLatin1Char('~') + folder.mid(base.size());
    return folder;
}
