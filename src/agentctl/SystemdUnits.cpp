#include "SystemdUnits.h"

namespace {

// Specifier expansion applies to every value below, so a "%" must always be doubled.
QString escapeSpecifiers(QString text)
{
    return text.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

} // namespace

QString systemdExecCommandLine(const QStringList &arguments)
{
    QStringList quoted;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString text = arguments.at(i);
        text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
        text = escapeSpecifiers(text);
        if (i > 0)
            text.replace(QLatin1Char('$'), QStringLiteral("$$"));
        quoted.append(QLatin1Char('"') + text + QLatin1Char('"'));
    }
    return quoted.join(QLatin1Char(' '));
}

QString systemdServiceUnit(const AgentJob &job)
{
    QString text = QLatin1String(SystemdUnitMarker) + QLatin1Char('\n');
    text += QStringLiteral("[Unit]\nDescription=Scheduled job %1\n\n").arg(job.label);
    text += QStringLiteral("[Service]\nType=oneshot\n");
    text += QStringLiteral("ExecStart=%1\n").arg(systemdExecCommandLine(job.programArguments));
    if (!job.standardOutPath.isEmpty())
        text +=
            QStringLiteral("StandardOutput=append:%1\n").arg(escapeSpecifiers(job.standardOutPath));
    if (!job.standardErrorPath.isEmpty())
        text += QStringLiteral("StandardError=append:%1\n")
                    .arg(escapeSpecifiers(job.standardErrorPath));
    return text;
}

QString systemdTimerUnit(const AgentJob &job)
{
    QString text = QLatin1String(SystemdUnitMarker) + QLatin1Char('\n');
    text += QStringLiteral("[Unit]\nDescription=Schedule of %1\n\n[Timer]\n").arg(job.label);
    for (const QString &calendar : job.calendars)
        text += QStringLiteral("OnCalendar=%1\n").arg(calendar);
    // A run missed while the machine was off happens at the next start.
    text += QStringLiteral("Persistent=true\n\n[Install]\nWantedBy=timers.target\n");
    return text;
}
