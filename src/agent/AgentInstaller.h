#pragma once

#include "settings/Frequency.h"

#include <QString>
#include <QStringList>

class AppSettings;

/** Where the agent document lives and which tool loads and unloads it. */
struct AgentContext
{
    QString agentFolder; ///< $XDG_CONFIG_HOME/quillbrook/LaunchAgents
    QString toolPath;    ///< quillbrook-agentctl beside the running executable

    /** The real locations, read from the environment and the running executable now. */
    static AgentContext standard();
};

/** Installs the agent for the stored frequency and hour when enabled, else removes it. */
void applySchedule(AppSettings &settings, const AgentContext &context = AgentContext::standard());

/** The scheduler tool beside the running executable (the one place that decides where it is). */
QString agentToolPath();

/** The agent document's path: the agent folder, then AgentLabel + ".plist". */
QString agentFilePath(const AgentContext &context);

/**
 * Creates the agent folder and the output folder (agentOutputFolder(), 0700), removes any
 * earlier agent, writes a fresh document (a plain write) and runs the tool with "load". Returns
 * false, with the failing step's reason in @p error, when a folder cannot be created, the
 * document cannot be serialised or the file cannot be written; the tool's own exit status does
 * not count.
 */
bool installAgent(Frequency frequency, qint64 hourOfDay,
                  const AgentContext &context = AgentContext::standard(), QString *error = nullptr);

/** Runs the tool with "unload" and deletes the document, if there is one; never fails. */
void removeAgent(const AgentContext &context = AgentContext::standard());

/**
 * Runs the tool with @p arguments and waits for it, at most ChildProcessTimeout. Returns its exit
 * status, or -1 when it could not be started or gave no answer in time (then "launchctl failed: "
 * + the reason is logged and a hung tool is killed) or did not exit normally.
 */
int runLaunchctl(const QStringList &arguments,
                 const AgentContext &context = AgentContext::standard());
