#pragma once

/**
 * The scheduled road: one cleanup run with the stored settings, its record written, then the
 * process ends. Makes only a QCoreApplication: no display, no GUI plugin, no login item.
 * Returns the process exit status.
 */
int runHeadless(int argc, char **argv);
