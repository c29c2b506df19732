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
