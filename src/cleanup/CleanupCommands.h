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
 * deciding date in ISO 8601, and "created" or "modified". The path is escaped so that a line is
 * always one entry: "\\" for a backslash, "\t" and "\n" for tab and newline, "\xHH" for each
 * byte of another control character or of a byte sequence that is not UTF-8. Moves nothing,
 * writes nothing, takes no lock.
 */
int previewCommand(AppSettings &settings, QTextStream &out, QTextStream &err,
                   const Clock &clock = Clock::system());

/**
 * "--put-back": moves the last run's entries back to their places, one line per entry (escaped
 * as --preview's paths), then the summary. Fails with "Another cleanup is running" when another
 * run or put back keeps the user's lock for a few seconds.
 */
int putBackCommand(AppSettings &settings, QTextStream &out, QTextStream &err,
                   const Clock &clock = Clock::system());
