#pragma once

#include "Clock.h"

#include <QtGlobal>

class AppSettings;

/** How many entries a run started now would move; moves and records nothing. */
qint64 countCandidates(AppSettings &settings, const Clock &clock = Clock::system());

/** True when the source folder cannot be listed (missing, not a folder, refused). */
bool probeFolderAccess(AppSettings &settings);
