#pragma once

#include "Clock.h"

#include <QTextStream>

class AppSettings;

/**
 * The command-line forms of the engine's read-only and undo operations. Each writes its lines
 * to @p out, failures to @p err, and returns the process exit status.
 */

/**
 * "--preview": one line per entry a run started now would move, tab-separated: path, the
 * deciding date in ISO 8601, and "created" or "modified". Moves nothing.
 */
int previewCommand(AppSettings &settings, QTextStream &out, QTextStream &err,
                   const Clock &clock = Clock::system());

/** "--put-back": moves the last run's entries back to their places, one line per entry. */
int putBackCommand(AppSettings &settings, QTextStream &out, QTextStream &err,
                   const Clock &clock = Clock::system());
