#pragma once

#include "AgentJob.h"

#include <QString>
#include <QStringList>

/** First line of every unit the tool writes; a unit without it is never replaced or removed. */
inline constexpr char SystemdUnitMarker[] =
    "# Managed by quillbrook-agentctl: \"load\" rewrites this file, \"unload\" removes it.";

/**
 * @p arguments as an ExecStart= command line: each element in double quotes with "\" and "\""
 * escaped and "%" doubled; "$" doubled in the arguments after the program path (systemd expands
 * variables there, while it takes the path itself literally).
 */
QString systemdExecCommandLine(const QStringList &arguments);

/** A oneshot service that runs the job's program, its output appended to the job's files. */
QString systemdServiceUnit(const AgentJob &job);

/** A persistent timer with one OnCalendar= per calendar of the job, wanted by timers.target. */
QString systemdTimerUnit(const AgentJob &job);
