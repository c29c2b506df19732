#pragma once

#include "settings/Frequency.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

/** The agent's label: the document's "Label", the agent file's name and the systemd units' name. */
inline constexpr char AgentLabel[] = "org.quillbrook.cleanup";

/** Where scheduled runs write their output: $XDG_STATE_HOME/quillbrook, read at each call. */
QString agentOutputFolder();

/**
 * The six-entry agent dictionary: "Label", "ProgramArguments" (@p executablePath, "--headless"),
 * "StartCalendarInterval" for @p frequency and @p hourOfDay (qint64 values, the hour as given,
 * unchecked), "RunAtLoad" false, "StandardOutPath" and "StandardErrorPath" (quillbrook.log and
 * quillbrook.err in agentOutputFolder()).
 */
QVariantMap makeAgentPlist(Frequency frequency, qint64 hourOfDay, const QString &executablePath);

/** The same for the running executable (HostPaths::runningExecutable()). */
QVariantMap makeAgentPlist(Frequency frequency, qint64 hourOfDay);

/** The dictionary as XML property-list bytes; empty with @p error set when it cannot be written. */
std::optional<QByteArray> serializeAgentPlist(const QVariantMap &plist, QString *error = nullptr);
