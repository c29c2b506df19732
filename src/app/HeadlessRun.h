#pragma once

/**
 * The scheduled road: one cleanup run with the stored settings, its record written, then the
 * process ends. Makes only a QCoreApplication: no display, no GUI plugin, no login item.
 * Returns the process exit status: 1 when a move failed or the source folder could not be listed,
 * else 0 (also when another run or put back was under way and this one did nothing).
 */
int runHeadless(int argc, char **argv);
