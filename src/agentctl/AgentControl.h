#pragma once

#include <QStringList>

/**
 * quillbrook-agentctl: keeps a systemd user timer in step with an agent document.
 *   load PATH    write <Label>.service and <Label>.timer to $XDG_CONFIG_HOME/systemd/user,
 *                enable the timer and start it where a user manager runs
 *   unload PATH  stop and disable the timer and remove both units
 * @p arguments exclude the program name. Returns the exit status: 0 done, 1 refused or failed,
 * 2 usage. Messages go to standard error, one line each.
 */
int runAgentControl(const QStringList &arguments);
