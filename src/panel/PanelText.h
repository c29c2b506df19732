#pragma once

#include <QString>
#include <QtGlobal>

/**
 * The texts the panel derives from data. Pure functions: the widgets call them on every redraw.
 */

/** "12:00 AM" for 0, "1:00 PM" for 13: the hour picker's entry for @p hour (0 to 23). */
QString hourLabel(qint64 hour);

/** "1 screenshot", otherwise "<n> screenshots"; plain decimal digits, no grouping. */
QString countPhrase(qint64 count);

/**
 * @p folder with the home folder shown as "~": "~" for the home folder itself, "~/rest" for a
 * path inside it; any other path unchanged. Matches whole path components only, so a sibling
 * such as "/home/ab" of the home "/home/a" is never shown as "~b".
 */
QString displayFolderPath(const QString &folder, const QString &home);

/**
 * The folder itself when it exists, else its closest existing ancestor; empty for a path that
 * is not absolute.
 */
QString nearestExistingFolder(const QString &folder);
