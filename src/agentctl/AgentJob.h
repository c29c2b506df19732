#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

/** What the scheduler tool takes from an agent document, checked so systemd can carry it. */
struct AgentJob
{
    QString label;                ///< a unit-name-safe reverse-DNS text
    QStringList programArguments; ///< absolute program path first
    QStringList calendars;        ///< systemd calendar expressions, one per interval
    QString standardOutPath;      ///< absolute, or empty for systemd's default
    QString standardErrorPath;    ///< absolute, or empty for systemd's default
};

/** Whether @p label can name the job's systemd units (and appear safely on a command line). */
bool isValidAgentLabel(const QString &label);

/**
 * The job described by an agent document read with readXmlPlist(). Keys: "Label",
 * "ProgramArguments", "StartCalendarInterval" (a dictionary or an array of them) required;
 * "RunAtLoad" (false only), "StandardOutPath", "StandardErrorPath" optional. Any other key, a
 * value of the wrong type or one systemd cannot express fails with a one-line reason.
 */
std::optional<AgentJob> agentJobFromPlist(const QVariant &plist, QString *error = nullptr);
